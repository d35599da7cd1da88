// The parameter tree of a VK03 configuration: rows, in-place editing and problem navigation.
#include <QtTest>

#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QTemporaryDir>

#include <memory>

#include "core/app/command_line/headless_ui.h"
#include "core/app/document/document.h"
#include "core/link/posix_serial_backend.h"
#include "core/model/device_table.h"
#include "core/model/tree_rows.h"
#include "core/platform/settings_store.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"
#include "gui/tree/tree_view.h"

using namespace varda;
using namespace varda::gui;

namespace {

Parameter* find(DescBranch& branch, std::string_view name) {
    if (Parameter* p = branch.FindOwnParameter(name)) return p;
    for (auto& child : branch.children)
        if (Parameter* p = find(*child, name)) return p;
    return nullptr;
}

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The parts of a widget repainted while it watches.
class PaintWatch : public QObject {
  public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    QRegion painted;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

}  // namespace

class TreeViewTest : public QObject {
    Q_OBJECT

    HeadlessUi ui_{true};
    MemorySettingsStore store_;
    Options options_;
    std::unique_ptr<CTarnDoc> doc_;
    std::unique_ptr<ConfigurationTreePane> view_;

    ConfigurationTree& tree() { return view_->tree(); }
    TreeListModel& model() { return view_->model(); }
    Parameter& parameter(std::string_view name) {
        Parameter* p = find(*doc_->root(), name);
        if (!p) qFatal("no parameter %s", std::string(name).c_str());
        return *p;
    }
    // Makes the row visible and double-clicks the middle of one of its cells.
    void double_click(Parameter& p, int column) {
        tree().select_quietly(p.tree_item);
        QCoreApplication::processEvents();
        const QRect cell = tree().cell_rect(p.tree_item, column);
        QTest::mouseDClick(tree().viewport(), Qt::LeftButton, {}, cell.center());
    }
    void type_into_edit_box(const QString& typed, Qt::Key end) {
        QLineEdit* box = tree().edit_box();
        QVERIFY(box);
        QTest::keyClicks(box, typed);
        QTest::keyClick(box, end);
        QVERIFY(!tree().edit_box());
    }
    QString cell(Parameter& p, int column) { return model().item_text(p.tree_item, column); }
    void open_model(int model) {
        view_.reset();
        doc_.reset();
        set_ui(&ui_);
        ui_.clear();
        options_.read_automatically = false;  // no module on this port
        options_.instant_recording = false;
        doc_ = std::make_unique<CTarnDoc>(options_, std::make_unique<PosixSerialBackend>());
        doc_->context().model = model;
        doc_->archive_path = (QCoreApplication::applicationDirPath() + "/../src/gui/varda.dat").toStdString();
        QVERIFY(doc_->load_description());
        QVERIFY(doc_->root());
        view_ = std::make_unique<ConfigurationTreePane>(*doc_);
        view_->resize(1100, 560);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const auto& m : ui_.messages())
            out.push_back(m.text);
        return out;
    }

  private slots:
    void init() { open_model(3); }

    void cleanup() {
        view_.reset();
        doc_.reset();
        set_settings_store(nullptr);
        store_.clear();
        set_ui(nullptr);
    }

    void rowsShowTheParametersInSixColumns() {
        QCOMPARE(model().columnCount(), 6);
        const QStringList captions{"Description", "Parameter", "Value",
                                   "Attribute",   "User",      "Error / Discrepancy"};
        for (int c = 0; c < 6; ++c)
            QCOMPARE(model().headerData(c, Qt::Horizontal).toString(), captions[c]);
        // Description and Error / Discrepancy take the width the others leave; the row ends at the edge.
        // "Parameter" is wider than its 70 pixels: it keeps its caption whole.
        const int widths[] = {-1, -1, 180, 110, 90, -1};
        for (int c = 0; c < 6; ++c)
            if (widths[c] > 0) QCOMPARE(tree().GetColumnWidth(c), widths[c]);
        QVERIFY(tree().GetColumnWidth(1) >= 70);
        QCOMPARE(tree().header()->length(), tree().viewport()->width());
        QVERIFY2(tree().GetColumnWidth(0) > 360,
                 qPrintable(QString::number(tree().GetColumnWidth(0)) + " of " +
                            QString::number(tree().viewport()->width())));
        QVERIFY(tree().GetColumnWidth(5) > 220);
        QCOMPARE(
            model().headerData(2, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
            int(Qt::AlignRight));

        QVERIFY(view_->first_item());
        QVERIFY(model().item_text(view_->first_item(), 0).startsWith("Configuration ("));
        QCOMPARE(model().parent_item(view_->root_item()), view_->first_item());
        QCOMPARE(model().item_text(view_->root_item(), 0), QString("Tavik-VK03"));
        QVERIFY(tree().isExpanded(model().index_of(view_->root_item())));

        Parameter& timeout = parameter("t.out");
        QVERIFY(timeout.tree_item);
        QCOMPARE(cell(timeout, kColumnTree), text(timeout.description));
        QCOMPARE(cell(timeout, kColumnName), QString("t.out"));
        QCOMPARE(cell(timeout, kColumnValue), QString("no data"));
        QCOMPARE(cell(timeout, kColumnAccess), QString("read/write"));
        QCOMPARE(cell(timeout, kColumnUser), QString("unknown"));
        QCOMPARE(cell(timeout, kColumnError), QString());
        // Without attributes the access and user columns stay empty.
        QCOMPARE(cell(parameter("dev"), kColumnAccess), QString());
        QCOMPARE(cell(parameter("dev"), kColumnUser), QString());
        // The bit fields of the jumper code are child rows of its row.
        QCOMPARE(model().child_count(parameter("CodP").tree_item), 5);

        // A refresh of the document rewrites the rows.
        timeout.SetValueText("12");
        timeout.set_failure(FailureKind::Timeout, "Time-out error");
        doc_->refresh_views();
        QCOMPARE(cell(timeout, kColumnValue), QString("12"));
        QCOMPARE(model().item_color(timeout.tree_item), std::optional<Rgb>(kErrorColour));
        QCOMPARE(model().data(model().index_of(timeout.tree_item, 2), Qt::ForegroundRole).value<QColor>(),
                 QColor(255, 0, 0));
    }

    void longTextsEndInDots() {
        const QFontMetrics metrics(tree().font());
        const QString longText(200, QChar('W'));
        const QString shortened = elide_cell_text(metrics, longText, 100);
        QVERIFY(shortened.endsWith("..."));
        QVERIFY(metrics.horizontalAdvance(shortened.chopped(3)) <= 100 - 8);
        QCOMPARE(elide_cell_text(metrics, QString("ok"), 100), QString("ok"));
    }

    void editedValueTurnsGreen() {
        Parameter& timeout = parameter("t.out");
        double_click(timeout, kColumnValue);
        type_into_edit_box("20", Qt::Key_Return);
        QCOMPARE(cell(timeout, kColumnValue), QString("20"));
        QCOMPARE(timeout.value_text(), std::string("20"));
        QCOMPARE(model().item_color(timeout.tree_item), std::optional<Rgb>(kModifiedColour));
        QCOMPARE(model().data(model().index_of(timeout.tree_item, 0), Qt::ForegroundRole).value<QColor>(),
                 QColor(0, 200, 0));
        QVERIFY(doc_->modified);
        QVERIFY(messages().empty());
    }

    void f2AndEnterEditTheSelectedValue() {
        Parameter& timeout = parameter("t.out");
        for (const Qt::Key key : {Qt::Key_F2, Qt::Key_Return, Qt::Key_Enter}) {
            tree().select_quietly(timeout.tree_item);
            tree().setFocus();
            QTest::keyClick(&tree(), key);
            const std::unique_ptr<char[]> key_name(QTest::toString(key));  // a new[] copy the caller frees
            QVERIFY2(tree().edit_box(), key_name.get());
            QCOMPARE(tree().edit_box()->text(), QString("no data"));
            type_into_edit_box("77", Qt::Key_Escape);
        }
        QTest::keyClick(&tree(), Qt::Key_F2);
        type_into_edit_box("20", Qt::Key_Return);
        QCOMPARE(timeout.value_text(), std::string("20"));
        // The row with no value of its own opens nothing.
        tree().select_quietly(view_->root_item());
        QTest::keyClick(&tree(), Qt::Key_F2);
        QVERIFY(!tree().edit_box());
        QVERIFY(messages().empty());
    }

    void columnWidthsAreRemembered() {
        set_settings_store(&store_);
        tree().header()->resizeSection(kColumnValue, 250);
        QVERIFY(store_.contains(kWindowGroup, "tree_columns"));
        open_model(3);
        QCOMPARE(tree().GetColumnWidth(kColumnValue), 250);
        QCOMPARE(tree().header()->length(), tree().viewport()->width());
    }

    void changedRowsRepaintAtOnce_data() {
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("fails");
        QTest::newRow("undo") << 0 << "no data" << false;
        QTest::newRow("redo") << 1 << "20" << false;
        QTest::newRow("failed read") << 2 << "20" << true;
        QTest::newRow("write checked") << 3 << "20" << true;  // as the differences window writes
    }

    void changedRowsRepaintAtOnce() {
        QFETCH(int, action);
        QFETCH(QString, value);
        QFETCH(bool, fails);
        Parameter& timeout = parameter("t.out");  // two levels below the top rows
        double_click(timeout, kColumnValue);
        type_into_edit_box("20", Qt::Key_Return);
        if (action == 1) QVERIFY(doc_->undo());
        tree().select_quietly(timeout.tree_item);  // the selection stays where it is from here on
        QTest::qWait(50);
        const QModelIndex row = model().index_of(timeout.tree_item, kColumnValue);
        QVERIFY(model().parent(model().parent(row)).isValid());

        QObject listening;
        std::vector<std::pair<QModelIndex, QModelIndex>> notices;
        connect(&model(), &QAbstractItemModel::dataChanged, &listening,
                [&](const QModelIndex& from, const QModelIndex& to) { notices.emplace_back(from, to); });
        PaintWatch watch(tree().viewport());
        switch (action) {
            case 0:
                QVERIFY(doc_->undo());
                break;
            case 1:
                QVERIFY(doc_->redo());
                break;
            case 2:
                view_->read_parameter();  // this port is closed
                break;
            default:
                doc_->device().identify_result =
                    Identification::KnownModel;  // a known module was found on this port once
                QVERIFY(doc_->write_parameters({&timeout}));
                break;
        }
        QCOMPARE(model().data(row).toString(), value);
        QCOMPARE(timeout.error_text.empty(), !fails);
        QCOMPARE(model().data(model().index_of(timeout.tree_item, kColumnError)).toString(),
                 text(timeout.error_text));
        // The views are told of this very row, in the value and error columns.
        const bool told = std::any_of(notices.begin(), notices.end(), [&](const auto& notice) {
            const auto& [from, to] = notice;
            return from.parent() == row.parent() && to.parent() == row.parent() && from.row() <= row.row() &&
                   row.row() <= to.row() && from.column() <= kColumnValue && kColumnError <= to.column();
        });
        QVERIFY(told);
        // ... and the row is drawn again without anything else happening.
        const QRect cell = tree().visualRect(row);
        QTRY_VERIFY2(watch.painted.contains(cell),
                     qPrintable(QStringLiteral("painted %1 of %2 cell %3")
                                    .arg(QDebug::toString(watch.painted), QDebug::toString(notices.size()),
                                         QDebug::toString(cell))));
    }

    void escapeLeavesTheCellAlone() {
        Parameter& timeout = parameter("t.out");
        double_click(timeout, kColumnValue);
        type_into_edit_box("77", Qt::Key_Escape);
        QCOMPARE(cell(timeout, kColumnValue), QString("no data"));
        QVERIFY(!timeout.value_modified);
        QVERIFY(!doc_->modified);
    }

    void rejectedValueGetsItsOldTextBack() {
        Parameter& timeout = parameter("t.out");
        double_click(timeout, kColumnValue);
        type_into_edit_box("300", Qt::Key_Tab);
        QCOMPARE(cell(timeout, kColumnValue), QString("no data"));
        QVERIFY(!timeout.value_modified);
        QCOMPARE(messages(), std::vector<std::string>{"Parameter 't.out' (" + timeout.description +
                                                      ") cannot be set to 300\nThe allowed value should be "
                                                      "'integer' of the range 0.000000...255.000000"});
    }

    void addressAbove255WithEightBitsIsRefused() {
        doc_->module_network()->SetValue("A.Len", "8");
        doc_->refresh_views();
        Parameter& address = parameter("Addr");
        double_click(address, kColumnValue);
        type_into_edit_box("300", Qt::Key_Return);
        QCOMPARE(cell(address, kColumnValue), QString("no data"));
        QCOMPARE(messages(), std::vector<std::string>{std::string(str(kProhibitedNetworkCombination))});
    }

    void nextProblemSkipsDiscrepancies() {
        Parameter& discrepancy = parameter("dev");  // early in the tree
        discrepancy.set_failure(FailureKind::Discrepancy,
                                std::string(str(kDeviceValue)) + " 'x',read/write unknown");
        Parameter& failure = parameter("FiLt");  // in the first input's branch, further down
        failure.set_failure(FailureKind::Timeout, "Time-out error");
        doc_->refresh_views();
        QCOMPARE(model().item_color(discrepancy.tree_item), std::optional<Rgb>(kDiscrepancyColour));

        tree().select_quietly(view_->first_item());
        view_->next_problem();
        QCOMPARE(tree().selected_item(), failure.tree_item);
        QVERIFY(tree().isExpanded(model().index_of(model().parent_item(failure.tree_item))));
        QVERIFY(messages().empty());

        view_->previous_problem();  // only the discrepancy lies before it
        QCOMPARE(messages(), std::vector<std::string>{"No parameter problem"});
        QCOMPARE(tree().selected_item(), failure.tree_item);
    }

    void enumerationListAndScreenshot() {
        // Rows in every colour around the open list.
        Parameter& filter = parameter("FiLt");
        filter.SetValueText("20");
        filter.value_modified = true;
        Parameter& inversion = parameter("In.iv");
        inversion.set_failure(FailureKind::Timeout,
                              "Time-out error: the module did not answer within the reply time-out");
        Parameter& edge = parameter("Cnt.E");
        edge.SetValueText("Переднему_фронту");
        doc_->refresh_views();
        double_click(edge, kColumnValue);
        QComboBox* list = tree().drop_down();
        QVERIFY(list);
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        QCOMPARE(items, (QStringList{"Переднему фронту", "Заднему фронту", "Обоим фронтам"}));
        QCOMPARE(list->currentIndex(), 0);
        QTRY_VERIFY(list->view()->isVisible());

        QPixmap shot = view_->grab();
        {
            QWidget* popup = list->view()->window();
            QPainter painter(&shot);
            painter.drawPixmap(view_->mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
        }
        const QString folder = QCoreApplication::applicationDirPath() + "/../screenshots";
        QDir().mkpath(folder);
        QVERIFY(shot.save(folder + "/tree.png"));

        // Leaving the list on the cell's value changes nothing, however the list spells it.
        tree().CloseEditors();
        QVERIFY(!tree().drop_down());
        QCOMPARE(cell(edge, kColumnValue), QString("Переднему_фронту"));
        QVERIFY(!edge.value_modified);
        QVERIFY(!doc_->modified);

        // Choosing another entry commits it.
        double_click(edge, kColumnValue);
        list = tree().drop_down();
        QVERIFY(list);
        list->hidePopup();
        list->setCurrentIndex(2);
        emit list->activated(2);
        QTRY_VERIFY(!tree().drop_down());
        QCOMPARE(cell(edge, kColumnValue), QString("Обоим фронтам"));
        QVERIFY(edge.value_modified);
        QCOMPARE(model().item_color(edge.tree_item), std::optional<Rgb>(kModifiedColour));
    }

    void scannerSectionSamplesWhenItsStateImageIsClicked() {
        open_model(12);  // a model without an I/O status window shows its scanners in the tree
        TreeItem section = view_->scanners_item();
        QVERIFY(section);
        QCOMPARE(model().parent_item(section), TreeItem(nullptr));
        TreeItem header = model().first_child(section);
        QVERIFY(model().item_bold(header));
        QCOMPARE(model().item_text(header, 0), QString("   Parameter"));
        QCOMPARE(model().item_text(header, 1), QString("Period"));
        QCOMPARE(model().item_text(header, 2), QString("Value"));
        QCOMPARE(model().item_text(header, 5), QString("Error / Discrepancy"));

        TreeItem row = model().next_sibling(header);
        Parameter* scanner = std::get<Parameter*>(model().item_data(row));
        QVERIFY(scanner->is_scanner());
        QCOMPARE(model().item_state(row), 1);
        QCOMPARE(model().item_text(row, 1), QString("1000"));
        scanner->period = std::chrono::milliseconds(100);
        tree().expand_quietly(section);
        QCoreApplication::processEvents();
        QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, tree().state_image_rect(row).center());
        QTRY_COMPARE(model().item_state(row), 3);
        QVERIFY(scanner->timer_running());
        // The scanner thread reads (this port is closed) and hands the reading over.
        int delivered = 0;
        QTRY_VERIFY_WITH_TIMEOUT((delivered += ui_.run_posted()) > 0, 3000);
        QCOMPARE(model().item_text(row, kColumnError), QString("Serial port opening error"));
        QCOMPARE(model().item_color(row), std::optional<Rgb>(kErrorColour));
        QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, tree().state_image_rect(row).center());
        QTRY_COMPARE(model().item_state(row), 1);
        QVERIFY(!scanner->timer_running());
    }

    void doubleClickInColumnZeroExpandsAndOpensNothing() {
        TreeItem info = model().first_child(view_->root_item());
        const QModelIndex index = model().index_of(info);
        QVERIFY(!tree().isExpanded(index));
        QTest::mouseDClick(tree().viewport(), Qt::LeftButton, {}, tree().cell_rect(info, 0).center());
        QVERIFY(tree().isExpanded(index));
        QVERIFY(!tree().edit_box() && !tree().drop_down());
    }

    void expandingReadsOnlyWithReadAutomatically() {
        TreeItem first_input = model().parent_item(parameter("FiLt").tree_item);
        tree().expand(model().index_of(first_input));  // as the user does
        QCOMPARE(parameter("FiLt").error_text, std::string());

        options_.read_automatically = true;
        TreeItem info = model().parent_item(parameter("t.out").tree_item);
        tree().expand(model().index_of(info));
        // This port is closed: the attempt shows in the rows.
        QCOMPARE(cell(parameter("t.out"), kColumnError), QString("Serial port opening error"));
        QCOMPARE(model().item_color(parameter("t.out").tree_item), std::optional<Rgb>(kErrorColour));
    }

    void parameterListIsExportedAsAPage() {
        QTemporaryDir folder;
        const QString path = view_->export_parameter_list(folder.path(), false);
        QCOMPARE(path, folder.filePath(QStringLiteral("parlist.html")));
        QFile page(path);
        QVERIFY(page.open(QIODevice::ReadOnly));
        const std::string text = platform::cp1251_to_utf8(page.readAll().toStdString());
        QVERIFY(text.find("Список параметров прибора Tavik-VK03") != std::string::npos);
        QVERIFY(text.find("<td>t.out\t</td>") != std::string::npos);
        QVERIFY(messages().empty());

        // A folder that cannot be made: a message, no page.
        QFile blocker(folder.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QVERIFY(view_->export_parameter_list(folder.filePath(QStringLiteral("file/sub")), false).isEmpty());
        QCOMPARE(messages().size(), std::size_t{1});
    }

    void manyRowsAreInsertedAtOnce() {
        // A large tree goes in as one change of the model, not one per row.
        TreeListModel rows;
        int resets = 0;
        int inserts = 0;
        connect(&rows, &QAbstractItemModel::modelReset, this, [&] { ++resets; });
        connect(&rows, &QAbstractItemModel::rowsInserted, this, [&] { ++inserts; });
        std::vector<std::unique_ptr<Parameter>> parameters;
        {
            TreeListModel::Bulk bulk(rows);
            TreeItem top = rows.insert_item(nullptr, "top", 0, 0, EditKind::None, std::monostate{});
            for (int i = 0; i < 2000; ++i) {
                auto& p = parameters.emplace_back(std::make_unique<Parameter>("p"));
                InsertIntoTree(*p, rows, top, 28, 28, false);
            }
        }
        QCOMPARE(resets, 1);
        QCOMPARE(inserts, 0);
        QCOMPARE(rows.item_count(), 2001);
        QVERIFY(parameters.back()->tree_item);
        rows.clear();
        QCOMPARE(rows.item_count(), 0);
        QVERIFY(!parameters.back()->tree_item);  // parameters forget their rows
    }
};

QTEST_MAIN(TreeViewTest)
#include "gui_tree_view_test.moc"
