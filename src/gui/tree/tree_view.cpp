#include "gui/tree/tree_view.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMenu>
#include <QPointer>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <mutex>
#include <set>

#include "core/app/document/document.h"
#include "core/app/document/menu_state.h"
#include "core/app/files/parameter_list_export.h"
#include "core/app/service/scan_decode.h"
#include "core/app/tree/parameter_tip.h"
#include "core/devices/base_device.h"
#include "core/model/device_table.h"
#include "core/model/tree_rows.h"
#include "core/platform/strings.h"
#include "core/platform/ui.h"
#include "gui/document/menu_look.h"
#include "gui/platform/qt_text.h"

namespace varda::gui {

namespace {

constexpr int kConfigurationCaption = 212;
constexpr int kDescriptionCaption = 213;
constexpr int kAttributeCaption = 215;
constexpr int kUserCaption = 216;
constexpr int kErrorCaption = 217;
constexpr int kScannerHeaderText = 260;
constexpr int kPeriodCaption = 261;
constexpr int kNoItemSelected = 184;
constexpr int kNoParameterProblem = 205;

constexpr int kImageConfiguration = 25;
constexpr int kImageUndefined = 1;
constexpr int kImageScannerHeader = 49;
constexpr int kStateRunning = 3;
constexpr int kStateStopped = 1;

// Shows the wait cursor while it lives.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

Parameter* parameter_of(const TreeItemData& data) {
    Parameter* const* p = std::get_if<Parameter*>(&data);
    return p ? *p : nullptr;
}

ObjectWithParameters* element_of(const TreeItemData& data) {
    ObjectWithParameters* const* e = std::get_if<ObjectWithParameters*>(&data);
    return e ? *e : nullptr;
}

bool has_scanner(const DescBranch& branch) {
    for (const auto& p : branch.parameters)
        if (p->is_scanner()) return true;
    for (const auto& child : branch.children)
        if (has_scanner(*child)) return true;
    return false;
}

void collect_differing(const DescBranch& branch, std::set<const DescBranch*>& out) {
    if (branch.HasDeviceDifferences(true)) out.insert(&branch);
    for (const auto& child : branch.children)
        collect_differing(*child, out);
}

QString configuration_caption(const CTarnDoc& document) {
    return qtext(str(kConfigurationCaption)) + qtext(document_title(document.path_name)) +
           QStringLiteral(")");
}

}  // namespace

// ---- the control ------------------------------------------------------------------------------------

ConfigurationTree::ConfigurationTree(CTarnDoc& document, QWidget* parent)
    : MultiColumnTree(parent), document_(document), edit_(document) {
    using Align = TreeListModel::Align;
    InsertColumn(qtext(str(kDescriptionCaption)), Align::Left, 360);
    InsertColumn(qtext(str(kParameter)), Align::Right, 70);
    InsertColumn(qtext(str(kValue)), Align::Right, 180);
    InsertColumn(qtext(str(kAttributeCaption)), Align::Right, 110);
    InsertColumn(qtext(str(kUserCaption)), Align::Right, 90);
    InsertColumn(qtext(str(kErrorCaption)), Align::Left, 220);
    // Descriptions and error texts are the long ones: they take what the window has to spare.
    set_stretch_columns({kColumnTree, kColumnError});
    remember_widths("tree_columns");
    set_key_edit_column(kColumnValue);
    SetGridLines(true);
    SetGridColor(QColor(200, 200, 200));
    connect(this, &MultiColumnTree::state_image_clicked, this,
            [this](const QModelIndex& row) { toggle_scanner(tree_model().item_at(row)); });
}

void ConfigurationTree::expand_quietly(TreeItem item) {
    const bool was = std::exchange(programmatic_, true);
    expand(tree_model().index_of(item));
    programmatic_ = was;
}

void ConfigurationTree::select_quietly(TreeItem item) {
    const bool was = std::exchange(programmatic_, true);
    select_item(item);
    programmatic_ = was;
}

int ConfigurationTree::model_index() const {
    if (const CBaseDevice* model = document_.device_model()) return model->model_index();
    return document_.context().model.load();
}

QString ConfigurationTree::row_tool_tip(TreeItem item) const {
    const TreeItemData data = tree_model().item_data(item);
    const auto* parameter = std::get_if<Parameter*>(&data);
    // While the worker or the scanner thread may be writing a parameter, its row's texts are all there is.
    if (!parameter || !*parameter || (*parameter)->is_scanner() || document_.device().exchange_running())
        return {};
    return qtext(parameter_tool_tip(**parameter));
}

void ConfigurationTree::end_edit(TreeItem item, int column, const QString& text, bool cancelled) {
    if (cancelled || !item) return;
    const QString old_text = tree_model().item_text(item, column);
    if (text == old_text) return;
    Parameter* parameter = parameter_of(tree_model().item_data(item));
    const EditResult result = edit_.commit(parameter, column, old_text.toStdString(), text.toStdString());
    if (!result.restore)
        tree_model().set_item_text(item, column, result.cell_text ? qtext(*result.cell_text) : text);
    apply(item, result);
}

void ConfigurationTree::apply(TreeItem item, const EditResult& result) {
    TreeListModel& model = tree_model();
    const bool show_index = document_.options().show_indexes;
    for (const EditResult::Row& row : result.rows) {
        if (!row.parameter || !row.parameter->tree_item) continue;
        UpdateTreeRow(*row.parameter, model, row.parameter->tree_item, show_index);
        if (row.colour) model.set_item_color(row.parameter->tree_item, row.colour);
    }
    if (result.colour) model.set_item_color(item, result.colour);
    if (result.error_text) model.set_item_text(item, kColumnError, *result.error_text);
    if (result.refresh_views && document_.refresh_views) document_.refresh_views();
}

void ConfigurationTree::toggle_scanner(TreeItem item) {
    Parameter* scanner = parameter_of(tree_model().item_data(item));
    if (!scanner || !scanner->is_scanner()) return;
    if (scanner->timer_running())
        scanner->StopTimer();
    else
        scanner->StartTimer();
    tree_model().set_item_state(item, scanner->timer_running() ? kStateRunning : kStateStopped);
}

void ConfigurationTree::context_menu(TreeItem item, const QPoint& global) {
    if (!item) return;
    const TreeItemData data = tree_model().item_data(item);
    QMenu menu(this);
    give_menu_look(&menu);
    if (Parameter* parameter = parameter_of(data)) {
        if (parameter->is_scanner()) return;
        menu.addAction(tr("Read parameter"), this, &ConfigurationTree::read_parameter_requested);
        if (parameter->writable)
            menu.addAction(tr("Write parameter"), this, &ConfigurationTree::write_parameter_requested);
        menu.addSeparator();
        menu.addAction(tr("Set to \"no data\""), this, &ConfigurationTree::no_data_requested);
    } else if (auto* branch = dynamic_cast<DescBranch*>(element_of(data))) {
        if (branch == document_.description().scanners() || has_scanner(*branch)) return;
        document_.set_selected_branch(branch);
        const std::pair<int, const char*> commands[] = {
            {kCmdReadBranch, QT_TR_NOOP("Read branch parameters")},
            {kCmdWriteBranch, QT_TR_NOOP("Write branch parameters")},
            {kCmdWriteBranchChanges, QT_TR_NOOP("Write branch changes")},
            {kCmdCompareBranch, QT_TR_NOOP("Compare within branch")}};
        for (const auto& [command, text] : commands)
            menu.addAction(tr(text), this,
                           [this, command = command] { emit branch_command_requested(command); });
    } else {
        return;
    }
    menu.exec(global);
}

// ---- the view ---------------------------------------------------------------------------------------

ConfigurationTreePane::ConfigurationTreePane(CTarnDoc& document, QWidget* parent)
    : QWidget(parent),
      document_(document),
      tree_(new ConfigurationTree(document, this)),
      alive_(std::make_shared<bool>(true)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    filter_bar_ = new TreeFilterBar(*tree_, this);
    layout->addWidget(filter_bar_);
    layout->addWidget(tree_);

    connect(tree_, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (!tree_->expanding_programmatically()) read_on_expand(model().item_at(index));
    });
    connect(tree_, &ConfigurationTree::read_parameter_requested, this,
            &ConfigurationTreePane::read_parameter);
    connect(tree_, &ConfigurationTree::write_parameter_requested, this,
            &ConfigurationTreePane::write_parameter);
    connect(tree_, &ConfigurationTree::no_data_requested, this, &ConfigurationTreePane::set_no_data);
    connect(tree_, &ConfigurationTree::branch_command_requested, this,
            &ConfigurationTreePane::branch_command);

    // Readings arrive on the user-interface thread; a view that has gone takes none.
    document_.device().set_scan_receiver([view = QPointer<ConfigurationTreePane>(this)] {
        if (view) view->apply_scan_results();
    });
    // Join the document's refresh: whoever listened before still hears it first.
    std::function<void()> previous = document_.refresh_views;
    document_.refresh_views = [previous, alive = std::weak_ptr<bool>(alive_), this] {
        if (previous) previous();
        if (alive.lock()) update_rows();
    };
}

ConfigurationTreePane::~ConfigurationTreePane() {
    document_.device().set_scan_receiver({});
    alive_.reset();
}

void ConfigurationTreePane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    initial_update();
}

void ConfigurationTreePane::initial_update() {
    if (built_) return;
    built_ = true;
    build();
    document_.device().start_worker();
    tree_->expand_quietly(first_item_);
    if (root_item_) tree_->expand_quietly(root_item_);
}

void ConfigurationTreePane::rebuild() {
    // The old objects may be gone already: the rows are dropped without a look at them.
    model().forget_rows();
    first_item_ = root_item_ = scanners_item_ = nullptr;
    built_ = false;
    initial_update();
}

void ConfigurationTreePane::build() {
    WaitCursor wait;
    TreeListModel& rows = model();
    const bool show_index = document_.options().show_indexes;
    CBaseDevice* device_model = document_.device_model();
    DescBranch* scanners = document_.description().scanners();
    rows.differing_branches.clear();
    if (document_.root()) collect_differing(*document_.root(), rows.differing_branches);
    {
        TreeListModel::Bulk bulk(rows);
        first_item_ =
            rows.insert_item(nullptr, configuration_caption(document_).toStdString(), kImageConfiguration,
                             kImageConfiguration, EditKind::None, std::monostate{});
        if (DescBranch* root = document_.root()) {
            root_item_ = AddToTreeMixed(*root, rows, first_item_, show_index, device_model);
        } else {
            TreeItem undefined =
                rows.insert_item(first_item_, std::string(localized("Параметры прибора")), kImageUndefined,
                                 kImageUndefined, EditKind::None, std::monostate{});
            rows.set_item_text(undefined, kColumnValue, std::string(localized("(не определены)")));
        }
        if (device_model && device_model->HasNoIOStatus() && scanners) {
            scanners_item_ = AddToTreeMixed(*scanners, rows, nullptr, show_index, device_model);
            // Column captions of the scanner rows, whose second column is their period.
            TreeItem header = rows.insert_item_after(
                scanners_item_, nullptr, std::string(str(kScannerHeaderText)), kImageScannerHeader,
                kImageScannerHeader, EditKind::None, std::monostate{});
            rows.set_item_text(header, kColumnName, std::string(str(kPeriodCaption)));
            rows.set_item_text(header, kColumnValue, std::string(str(kValue)));
            rows.set_item_text(header, kColumnError, std::string(str(kErrorCaption)));
            rows.set_item_bold(header, true);
        }
    }
    if (scanners_item_) document_.device().start_scanner(scanners);
}

void ConfigurationTreePane::update_rows() {
    if (!first_item_) return;
    WaitCursor wait;
    TreeListModel& rows = model();
    rows.differing_branches.clear();
    if (document_.root()) collect_differing(*document_.root(), rows.differing_branches);
    TreeListModel::Bulk quiet(rows);
    rows.set_item_text(first_item_, kColumnTree, configuration_caption(document_));
    UpdateTreeRows(rows, first_item_, document_.options().show_indexes);
}

void ConfigurationTreePane::refresh_all() {
    if (document_.refresh_views)
        document_.refresh_views();
    else
        update_rows();
}

// ---- reading on expanding ---------------------------------------------------------------------------

void ConfigurationTreePane::read_on_expand(TreeItem item) {
    TreeListModel& rows = model();
    if (!element_of(rows.item_data(item))) return;
    const bool read = document_.options().read_automatically;
    const bool show_index = document_.options().show_indexes;
    const std::string no_data(str(kNoData));
    std::unique_ptr<WaitCursor> wait;
    for (TreeItem row = rows.first_child(item); row; row = rows.next_sibling(row)) {
        Parameter* p = parameter_of(rows.item_data(row));
        if (!p || p->is_scanner() || p->network_name() == "    ") continue;
        if (read && p->value_text() == no_data && p->error_text.empty()) {
            if (!wait) wait = std::make_unique<WaitCursor>();
            std::lock_guard lock(document_.context().line_lock);
            document_.device().read_parameter(*p, false);
        }
        UpdateTreeRow(*p, rows, row, show_index);
    }
}

// ---- scanner readings -------------------------------------------------------------------------------

void ConfigurationTreePane::apply_scan_results() {
    std::vector<ScanResult> results = document_.device().take_scan_results();
    if (results.empty()) return;
    // Only scanners of the tree that exists now: a reading queued for an old tree is dropped.
    std::vector<Parameter*> live;
    if (DescBranch* scanners = document_.description().scanners()) scanners->CollectScanners(live);
    TreeListModel& rows = model();
    Device& device = document_.device();
    const ModuleRead read = [&device](Parameter& p) {
        std::lock_guard lock(device.context().line_lock);
        return device.request(true, &p) == RequestResult::Done;
    };
    for (const ScanResult& result : results) {
        Parameter* scanner = result.scanner;
        if (!scanner || std::find(live.begin(), live.end(), scanner) == live.end() || !scanner->tree_item)
            continue;
        if (result.error_text.empty()) {
            scanner->SetValueText(result.value_text);
            scanner->clear_failure();
        } else {
            scanner->set_failure(result.failure.kind, result.error_text, result.failure.module_code);
        }
        TreeItem item = scanner->tree_item;
        const ScanDisplay display = decode_scan_result(result, document_.root(), document_.device_model(),
                                                       read, rows.child_count(item));
        if (display.description) {
            scanner->description = *display.description;
            rows.set_item_text(item, kColumnTree, *display.description);
        }
        rows.set_item_text(item, kColumnValue, display.value_text);
        rows.set_item_text(item, kColumnError, display.error_text);
        rows.set_item_color(item,
                            display.error_text.empty() ? std::nullopt : std::optional<Rgb>(kErrorColour));
        std::size_t n = 0;
        for (TreeItem child = rows.first_child(item); child && n < display.child_texts.size();
             child = rows.next_sibling(child), ++n)
            rows.set_item_text(child, kColumnValue, display.child_texts[n]);
    }
}

// ---- problem navigation -----------------------------------------------------------------------------

std::vector<TreeItem> ConfigurationTreePane::problem_order() const {
    std::vector<TreeItem> order;
    if (!first_item_) return order;
    const TreeListModel& rows = tree_->tree_model();
    // Element rows in tree order, each followed by its own parameter rows.
    std::vector<TreeItem> pending{first_item_};
    while (!pending.empty()) {
        TreeItem element = pending.back();
        pending.pop_back();
        std::vector<TreeItem> child_elements;
        for (TreeItem row = rows.first_child(element); row; row = rows.next_sibling(row)) {
            const TreeItemData data = rows.item_data(row);
            if (parameter_of(data))
                order.push_back(row);
            else if (element_of(data))
                child_elements.push_back(row);
        }
        for (auto it = child_elements.rbegin(); it != child_elements.rend(); ++it)
            pending.push_back(*it);
    }
    return order;
}

void ConfigurationTreePane::find_problem(bool forward) {
    TreeListModel& rows = model();
    TreeItem start = tree_->selected_item();
    if (!start) start = first_item_;
    // A fixed child row (a bit of a code word) stands for its parameter.
    if (start && std::holds_alternative<std::monostate>(rows.item_data(start)) &&
        parameter_of(rows.item_data(rows.parent_item(start))))
        start = rows.parent_item(start);
    bool include_start = false;
    if (start && !parameter_of(rows.item_data(start))) {
        // From a branch: down through the first children to the first parameter.
        while (start && !parameter_of(rows.item_data(start))) {
            TreeItem child = rows.first_child(start);
            if (child) tree_->expand_quietly(start);
            start = child;
        }
        include_start = forward;
    }
    if (!start) {
        ui().message(str(kNoParameterProblem), MessageIcon::Information);
        return;
    }
    const std::vector<TreeItem> order = problem_order();
    const auto at = std::find(order.begin(), order.end(), start);
    auto is_problem = [&](TreeItem row) {
        const Parameter* p = parameter_of(rows.item_data(row));
        return p && is_problem_parameter(*p);
    };
    TreeItem found = nullptr;
    if (at != order.end()) {
        const auto position = static_cast<std::size_t>(at - order.begin());
        if (forward) {
            for (std::size_t i = include_start ? position : position + 1; i < order.size() && !found; ++i)
                if (is_problem(order[i])) found = order[i];
        } else {
            for (std::size_t i = position; i-- > 0 && !found;)
                if (is_problem(order[i])) found = order[i];
        }
    }
    if (!found) {
        ui().message(str(kNoParameterProblem), MessageIcon::Information);
        return;
    }
    tree_->select_quietly(found);
}

void ConfigurationTreePane::previous_problem() {
    find_problem(false);
}
void ConfigurationTreePane::next_problem() {
    find_problem(true);
}

// ---- commands ---------------------------------------------------------------------------------------

Parameter* ConfigurationTreePane::selected_parameter() const {
    TreeItem item = tree_->selected_item();
    return item ? parameter_of(tree_->tree_model().item_data(item)) : nullptr;
}

ObjectWithParameters* ConfigurationTreePane::selected_element() const {
    const TreeListModel& rows = tree_->tree_model();
    for (TreeItem item = tree_->selected_item(); item; item = rows.parent_item(item))
        if (ObjectWithParameters* element = element_of(rows.item_data(item))) return element;
    return nullptr;
}

void ConfigurationTreePane::branch_command(int command) {
    document_.set_selected_branch(selected_element());
    switch (command) {
        case kCmdReadBranch:
            document_.read_branch();
            break;
        case kCmdWriteBranch:
            document_.write_branch();
            break;
        case kCmdWriteBranchChanges:
            document_.write_branch_changes();
            break;
        case kCmdCompareBranch:
            document_.compare_branch();
            break;
        default:
            break;
    }
}

void ConfigurationTreePane::read_parameter() {
    Parameter* p = selected_parameter();
    if (!p) {
        ui().message(str(kNoItemSelected), MessageIcon::Warning, str(kAppTitle));
        return;
    }
    document_.device().read_one(*p);
    refresh_all();
}

void ConfigurationTreePane::write_parameter() {
    Parameter* p = selected_parameter();
    if (!p) {
        ui().message(str(kNoItemSelected), MessageIcon::Warning, str(kAppTitle));
        return;
    }
    document_.device().write_one(*p);
    refresh_all();
}

void ConfigurationTreePane::set_no_data() {
    Parameter* p = selected_parameter();
    if (!p) return;
    document_.set_no_data(*p);
    refresh_all();
}

QString ConfigurationTreePane::export_parameter_list(const QString& given_folder, bool open_page) {
    DescBranch* root = document_.root();
    if (!root) return {};
    // The program's folder is not the user's to write on Linux: the page goes to the user's data folder.
    const QString folder = given_folder.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
                               : given_folder;
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QStringLiteral("parlist.html"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const SaveResult saved =
        varda::export_parameter_list(*root, display_name(document_.tree_model_index()), path.toStdString());
    QApplication::restoreOverrideCursor();
    if (!saved.ok) {
        ui().message(saved.message, MessageIcon::Error);
        return {};
    }
    if (open_page) QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    return path;
}

}  // namespace varda::gui
