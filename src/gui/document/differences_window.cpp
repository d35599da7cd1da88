#include "gui/document/differences_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gui/platform/qt_text.h"

namespace varda::gui {
namespace {

constexpr DifferenceColumn kColumns[] = {DifferenceColumn::Branch, DifferenceColumn::Parameter,
                                         DifferenceColumn::Description, DifferenceColumn::Document,
                                         DifferenceColumn::Other};
constexpr int kRowRole = Qt::UserRole;
QString branch_text(const std::string& path) {
    return path.empty() ? DifferencesWindow::tr("(root)") : qtext(path);
}

}  // namespace

DifferencesWindow::DifferencesWindow(DifferencesController& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
    const QString other = qtext(controller.other_name());
    setWindowTitle(tr("Differences: document and %1").arg(other));
    setSizeGripEnabled(true);
    resize(820, 420);

    auto* layout = new QVBoxLayout(this);
    auto* filter_row = new QHBoxLayout;
    auto* branch_label = new QLabel(tr("&Branch:"), this);
    branch_ = new QComboBox(this);
    branch_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    branch_label->setBuddy(branch_);
    filter_row->addWidget(branch_label);
    filter_row->addWidget(branch_, 1);
    auto* check_all = new QPushButton(tr("Check all"), this);
    auto* uncheck_all = new QPushButton(tr("Uncheck all"), this);
    filter_row->addWidget(check_all);
    filter_row->addWidget(uncheck_all);
    layout->addLayout(filter_row);

    table_ = new QTableWidget(0, static_cast<int>(std::size(kColumns)), this);
    table_->setHorizontalHeaderLabels(
        {tr("Branch"), tr("Parameter"), tr("Description"), tr("Document"), other});
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The arrows move between rows and Space checks one; Tab goes on to the buttons.
    table_->setTabKeyNavigation(false);
    table_->horizontalHeader()->setSectionsClickable(true);
    table_->horizontalHeader()->setSortIndicatorShown(true);
    table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);  // in tree order until a click
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_, 1);

    summary_ = new QLabel(this);
    layout->addWidget(summary_);
    auto* buttons = new QHBoxLayout;
    take_ = new QPushButton(tr("Take checked values into the document"), this);
    write_ = new QPushButton(tr("Write checked to the module"), this);
    auto* close = new QPushButton(tr("Close"), this);
    buttons->addWidget(take_);
    buttons->addWidget(write_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(branch_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (filling_) return;
        const QVariant path = branch_->itemData(index);
        controller_.set_branch_filter(
            path.isValid() ? std::optional<std::string>(path.toString().toStdString()) : std::nullopt);
        fill_rows();
    });
    connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this, &DifferencesWindow::sort_by);
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (filling_ || item->column() != 0) return;
        controller_.set_checked(item->data(kRowRole).toULongLong(), item->checkState() == Qt::Checked);
        update_summary();
    });
    connect(check_all, &QPushButton::clicked, this, [this] {
        controller_.check_shown(true);
        fill_rows();
    });
    connect(uncheck_all, &QPushButton::clicked, this, [this] {
        controller_.check_shown(false);
        fill_rows();
    });
    connect(take_, &QPushButton::clicked, this, [this] {
        controller_.take_checked();
        fill_branches();
        fill_rows();
    });
    connect(write_, &QPushButton::clicked, this, [this] {
        controller_.write_checked();
        fill_branches();
        fill_rows();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    // Enter closes the window; it never takes or writes anything.
    for (QPushButton* button : {check_all, uncheck_all, take_, write_})
        button->setAutoDefault(false);
    close->setDefault(true);

    fill_branches();
    fill_rows();
    table_->resizeColumnsToContents();
}

void DifferencesWindow::fill_branches() {
    filling_ = true;
    const QVariant chosen = branch_->currentData();
    branch_->clear();
    branch_->addItem(tr("All branches"));
    for (const std::string& path : controller_.branches())
        branch_->addItem(branch_text(path), qtext(path));
    const int again = chosen.isValid() ? branch_->findData(chosen) : 0;
    branch_->setCurrentIndex(again < 0 ? 0 : again);
    if (again < 0) controller_.set_branch_filter(std::nullopt);
    filling_ = false;
}

void DifferencesWindow::fill_rows() {
    filling_ = true;
    const auto shown = controller_.shown();
    table_->setRowCount(static_cast<int>(shown.size()));
    for (int r = 0; r < static_cast<int>(shown.size()); ++r) {
        const Difference& d = controller_.rows()[shown[static_cast<std::size_t>(r)]];
        for (int c = 0; c < static_cast<int>(std::size(kColumns)); ++c) {
            const std::string text = DifferencesController::cell_text(d, kColumns[c]);
            auto* item = new QTableWidgetItem(c == 0 ? branch_text(text) : qtext(text));
            if (c == 0) {
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(d.checked ? Qt::Checked : Qt::Unchecked);
                item->setData(kRowRole, static_cast<qulonglong>(shown[static_cast<std::size_t>(r)]));
            }
            table_->setItem(r, c, item);
        }
    }
    filling_ = false;
    update_summary();
}

void DifferencesWindow::sort_by(int column) {
    ascending_ = column == sorted_column_ ? !ascending_ : true;
    sorted_column_ = column;
    controller_.sort_by(kColumns[column], ascending_);
    table_->horizontalHeader()->setSortIndicator(column,
                                                 ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
    fill_rows();
}

void DifferencesWindow::update_summary() {
    const int total = static_cast<int>(controller_.rows().size());
    const int checked = controller_.checked_count();
    summary_->setText(
        tr("%1 differences, %2 shown, %3 checked").arg(total).arg(controller_.shown().size()).arg(checked));
    take_->setEnabled(checked > 0);
    write_->setEnabled(checked > 0);
}

}  // namespace varda::gui
