// Every window and dialog other than calibration's, opened once in English and once in Russian: each text a
// user reads there is in that one language. Parameter and branch names come from the model's description
// and stay as it gives them, so the tree's rows and the lists filled from the description are not read.
// Each window is also rendered to <build>/screenshots/lang, for a person to look for clipped texts.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <chrono>
#include <memory>

#include "../support/gui_test_support.h"
#include "../support/main_window_rig.h"
#include "core/app/document.h"
#include "core/app/menu_state.h"
#include "core/app/paths.h"
#include "core/devices/brand.h"
#include "core/link/options.h"
#include "core/model/device_table.h"
#include "core/platform/settings_store.h"
#include "core/platform/ui.h"
#include "gui/apply_dialog.h"
#include "gui/bus_monitor_window.h"
#include "gui/bus_scan_dialog.h"
#include "gui/connection_indicator.h"
#include "gui/differences_window.h"
#include "gui/help_window.h"
#include "gui/io_status_dialog.h"
#include "gui/main_window.h"
#include "gui/progress_dialog.h"
#include "gui/qt_text.h"
#include "gui/qt_ui.h"
#include "gui/screen_language.h"
#include "gui/select_device_dialog.h"
#include "gui/setup_carrier.h"
#include "gui/simulator_panel.h"
#include "gui/single_point_dialog.h"
#include "gui/startup_window.h"
#include "gui/tare_weight_dialog.h"
#include "gui/tree_filter_bar.h"
#include "gui/tree_view.h"
#include "sim/in_process_backend.h"

using namespace varda;
using namespace varda::test;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(varda::Language)

namespace {

constexpr int kVK03 = 3;
constexpr int kVK14 = 14;

bool has_cyrillic(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x0400 && c.unicode() <= 0x04FF) return true;
    return false;
}

// English words left in a text meant to be Russian: a Latin word with three lowercase letters in a row, or
// a short word that joins others ("2 of 43"). Names are set aside first: paths and file patterns
// ("/dev/ttyS0", "*.vdc"), network names and file names with a dot inside ("t.out", "varda.dat"), words
// with digits ("ttyS0", a build's hash).
QStringList english_words(QString text) {
    // Names that read as words but are the same in every language.
    static const QStringList kNames = {
        QStringLiteral("Varda"),      // the product
        QStringLiteral("Tavik"),      // the models' names ("Tavik-VK03")
        QStringLiteral("sim"),        // the simulated module's port
        QStringLiteral("Escape"),     // a key's name
        QStringLiteral("Copyright"),  // the legal notice keeps its usual form
    };
    static const QRegularExpression kPathsAndNames(QStringLiteral(R"(\S*[/*]\S*|\w+\.\w+)"));
    static const QRegularExpression kWord(QStringLiteral("[A-Za-z0-9]+"));
    static const QRegularExpression kLowercase(QStringLiteral("[a-z]{3}"));
    static const QRegularExpression kDigit(QStringLiteral("[0-9]"));
    static const QStringList kShortWords = {QStringLiteral("of"), QStringLiteral("to"), QStringLiteral("at"),
                                            QStringLiteral("in"), QStringLiteral("on"), QStringLiteral("by"),
                                            QStringLiteral("or"), QStringLiteral("is")};
    text.replace(kPathsAndNames, QStringLiteral(" "));
    QStringList words;
    for (auto it = kWord.globalMatch(text); it.hasNext();) {
        const QString word = it.next().captured();
        if (!word.contains(kDigit) && (word.contains(kLowercase) || kShortWords.contains(word)) &&
            !kNames.contains(word))
            words << word;
    }
    return words;
}

// The texts a window shows, each with where it was found.
class ScreenTexts {
  public:
    void add(const QString& where, QString text) {
        if (Qt::mightBeRichText(text)) text = QTextDocumentFragment::fromHtml(text).toPlainText();
        text = text.section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&')).trimmed();  // no shortcut
        if (!text.isEmpty()) texts_.append({where, text});
    }

    // What `root` and the widgets inside it show; `data` widgets (filled from the description) are left
    // out, item views but for their captions.
    void take(QWidget* root, const QList<const QWidget*>& data = {}) {
        add(QStringLiteral("title"), root->windowTitle());
        take_widget(root, data);
        for (QWidget* w : root->findChildren<QWidget*>())
            if (!inside(w, data)) take_widget(w, data);
    }

    void take_menu(const QMenu* menu) {
        add(QStringLiteral("menu"), menu->title());
        for (const QAction* a : menu->actions())
            take_action(a);
    }

    void take_action(const QAction* a) {
        add(QStringLiteral("action"), a->text());
        add(QStringLiteral("action tip"), a->toolTip());
        add(QStringLiteral("action status"), a->statusTip());
        if (a->menu()) take_menu(a->menu());
    }

    // The texts that are not in the language (Cyrillic under English, English words under Russian), and
    // the captions cut short.
    QStringList wrong_for(Language language) const {
        QStringList wrong;
        for (const auto& [where, text] : texts_) {
            const bool bad =
                where == QStringLiteral("clipped caption") ||
                (language == Language::russian ? !english_words(text).isEmpty() : has_cyrillic(text));
            if (bad) wrong << where + QStringLiteral(": ") + text;
        }
        wrong.removeDuplicates();
        return wrong;
    }
    bool empty() const { return texts_.isEmpty(); }

  private:
    // Whether `w` is part of one of the widgets, a combo box's list of items included.
    static bool inside(const QObject* w, const QList<const QWidget*>& widgets) {
        for (const QObject* up = w->parent(); up; up = up->parent())
            for (const QWidget* d : widgets)
                if (d == up) return true;
        return false;
    }

    void take_widget(QWidget* w, const QList<const QWidget*>& data) {
        const QString kind = QString::fromLatin1(w->metaObject()->className());
        for (const QAction* a : w->actions())
            take_action(a);
        if (data.contains(w)) {
            if (auto* view = qobject_cast<QAbstractItemView*>(w)) take_captions(view);
            return;
        }
        add(kind + QStringLiteral(" tip"), w->toolTip());
        if (auto* label = qobject_cast<QLabel*>(w)) add(kind, label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(w)) add(kind, button->text());
        if (auto* group = qobject_cast<QGroupBox*>(w)) add(kind, group->title());
        if (auto* field = qobject_cast<QLineEdit*>(w)) add(kind, field->placeholderText());
        if (auto* bar = qobject_cast<QStatusBar*>(w)) add(kind, bar->currentMessage());
        if (auto* tabs = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < tabs->count(); ++i)
                add(kind, tabs->tabText(i));
        if (auto* combo = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i)
                add(kind, combo->itemText(i));
        if (qobject_cast<QHeaderView*>(w)) return;  // its view reads the captions
        if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
            take_captions(view);
            const QAbstractItemModel* model = view->model();
            for (int r = 0; model && r < model->rowCount(); ++r)
                for (int c = 0; c < model->columnCount(); ++c) {
                    add(kind + QStringLiteral(" cell"), model->index(r, c).data().toString());
                    add(kind + QStringLiteral(" cell tip"),
                        model->index(r, c).data(Qt::ToolTipRole).toString());
                }
        }
    }

    // The column captions, and those cut short by their column.
    void take_captions(const QAbstractItemView* view) {
        const QAbstractItemModel* model = view->model();
        const QHeaderView* header = nullptr;
        if (auto* table = qobject_cast<const QTableView*>(view)) header = table->horizontalHeader();
        if (auto* tree = qobject_cast<const QTreeView*>(view)) header = tree->header();
        for (int c = 0; model && c < model->columnCount(); ++c) {
            const QString caption = model->headerData(c, Qt::Horizontal).toString();
            add(QStringLiteral("column caption"), caption);
            if (header && header->isVisible() && !header->isSectionHidden(c) &&
                header->sectionSize(c) < header->fontMetrics().horizontalAdvance(caption) + 6)
                texts_.append({QStringLiteral("clipped caption"), caption});
        }
    }

    QList<std::pair<QString, QString>> texts_;
};

QString language_name(Language language) {
    return language == Language::russian ? QStringLiteral("ru") : QStringLiteral("en");
}

void save_picture(QWidget* window, const char* name, Language language) {
    QDir().mkpath(screenshot_folder() + QStringLiteral("/lang"));
    const QString path = screenshot_folder() + QStringLiteral("/lang/") + QLatin1String(name) +
                         QLatin1Char('_') + language_name(language) + QStringLiteral(".png");
    QVERIFY2(window->grab().save(path), qPrintable(path));
}

// Fails with every text of the window that is not in the language.
#define CHECK_ONE_LANGUAGE(texts, language)                                                          \
    do {                                                                                             \
        QVERIFY(!(texts).empty());                                                                   \
        const QStringList wrong = (texts).wrong_for(language);                                       \
        QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("\n") + wrong.join(QLatin1Char('\n')))); \
    } while (false)

// Takes the texts of the modal window of type T once `ready` says it shows what it should, then closes it.
template <typename T>
std::function<bool()> take_modal(ScreenTexts& texts, const char* picture, Language language,
                                 std::function<bool(T&)> ready = {}, QList<const QWidget*> data = {}) {
    return [=, &texts] {
        T* window = modal<T>();
        if (!window || (ready && !ready(*window))) return false;
        texts.take(window, data);
        save_picture(window, picture, language);
        QMetaObject::invokeMethod(window, &QDialog::reject, Qt::QueuedConnection);
        return true;
    };
}

// The main window of the full brand over a VK03 read whole, with its tree and the filter bar shown.
struct MainRig : MainWindowRig {
    explicit MainRig(std::shared_ptr<sim::SimulatedModule> served = served_module(kVK03))
        : MainWindowRig(served, CBrandKest()), module(std::move(served)) {
        connect();
        view = new gui::CTarnTreeListView(*doc);
        window->set_tree_view(view);
        window->resize(1100, 700);
        window->show();
    }
    std::shared_ptr<sim::SimulatedModule> module;
    gui::CTarnTreeListView* view = nullptr;
};

}  // namespace

class OneLanguageTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        set_settings_store(&store_);
        Q_INIT_RESOURCE(icons);
    }
    void init() { set_settings_store(&store_); }
    void cleanupTestCase() { set_settings_store(nullptr); }

    void mainWindow_data() { languages(); }
    void mainWindow() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        MainRig rig;
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        QVERIFY(rig.doc->read_all());
        rig.view->filter_bar().start();
        // The read's summary in the status bar ("Read 43 parameters, ...").
        QTRY_VERIFY(rig.window->status_line().contains(QRegularExpression(QStringLiteral("[0-9]"))));
        ScreenTexts texts;
        texts.take(rig.window.get(), {&rig.view->tree()});
        for (const QAction* top : rig.window->menuBar()->actions())
            if (top->menu()) texts.take_menu(top->menu());
        CHECK_ONE_LANGUAGE(texts, language);
        save_picture(rig.window.get(), "main_window", language);
    }

    void connectionDialog_data() { languages(); }
    void connectionDialog() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        MemorySettingsStore store;
        store.set_string(kSettingsGroup, "port", "/dev/ttyS0");
        set_settings_store(&store);
        gui::QtUi ui;
        set_ui(&ui);
        Options options;
        const CBrandKest brand;
        {
            CTarnDoc doc(options, std::make_unique<sim::InProcessBackend>(nullptr));
            gui::CSetupCarrier dialog(doc.device(), options, brand, true);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            ScreenTexts texts;
            // Nothing answers on the port, and no port is there at all.
            dialog.offer_simulated_module(false);
            QTest::mouseClick(dialog.connect_button(), Qt::LeftButton);
            QTRY_VERIFY(dialog.status_alarm());
            texts.take(&dialog);
            save_picture(&dialog, "connection_dialog", language);
            dialog.offer_simulated_module(true);
            texts.take(&dialog);
            CHECK_ONE_LANGUAGE(texts, language);

            ScreenTexts select;
            gui::CSelectDeviceDlg devices(brand);
            select.take(&devices);
            save_picture(&devices, "select_device", language);
            CHECK_ONE_LANGUAGE(select, language);
        }
        set_ui(nullptr);
        set_current_model_index(kNoModel);
    }

    void startupWindow_data() { languages(); }
    void startupWindow() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        ModelDocumentRig rig;
        rig.serve(kVK03);
        rig.module->set_faults({.always_silent = true});
        set_current_model_index(kNoModel);
        CTarnDoc doc(rig.options, std::make_unique<sim::InProcessBackend>(rig.module));
        doc.device().finish_grace = 0ms;
        gui::StartupWindow window(doc.device());
        const QString starting = window.step_label()->text();
        ScreenTexts texts;
        Script script({[&] {
            if (modal<gui::StartupWindow>() != &window || window.step_label()->text() == starting)
                return false;
            texts.take(&window);
            save_picture(&window, "startup_window", language);
            window.cancel_button()->click();
            return true;
        }});
        QVERIFY(!window.connect_and_wait());
        QCOMPARE(script.steps_done(), std::size_t(1));
        CHECK_ONE_LANGUAGE(texts, language);
    }

    void ioStatusAndSinglePoint_data() { languages(); }
    void ioStatusAndSinglePoint() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        MainRig rig;
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        {
            gui::CStateInOutDlg dialog(*rig.doc, nullptr, 5ms);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QTRY_VERIFY(!dialog.table(IoSide::Inputs)->CellText(0, 1).isEmpty());
            // The rows are named by the description.
            ScreenTexts texts;
            texts.take(&dialog, {dialog.table(IoSide::Inputs), dialog.table(IoSide::Outputs)});
            save_picture(&dialog, "io_status", language);
            CHECK_ONE_LANGUAGE(texts, language);
        }
        gui::CSinglePoint dialog(*rig.doc);
        ScreenTexts texts;
        texts.take(&dialog, {dialog.parameter_box(), dialog.description_field()});
        save_picture(&dialog, "single_parameter", language);
        CHECK_ONE_LANGUAGE(texts, language);
    }

    void busScanAndMonitor_data() { languages(); }
    void busScanAndMonitor() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        MainRig rig;
        {
            gui::BusScanDialog dialog(rig.doc->device());
            dialog.set_range(15, 17);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            const QString start = dialog.start_button()->text();
            QTest::mouseClick(dialog.start_button(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(dialog.modules()->topLevelItemCount() > 0, 10000);
            QTRY_COMPARE_WITH_TIMEOUT(dialog.start_button()->text(), start, 10000);
            ScreenTexts texts;
            texts.take(&dialog);
            save_picture(&dialog, "bus_scan", language);
            CHECK_ONE_LANGUAGE(texts, language);
        }
        gui::BusMonitorWindow monitor(*rig.doc);
        monitor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&monitor));
        QVERIFY(rig.doc->read_all());
        monitor.pull();
        ScreenTexts texts;
        texts.take(&monitor, {monitor.table()});  // decoded frames: the description's names
        save_picture(&monitor, "bus_monitor", language);
        CHECK_ONE_LANGUAGE(texts, language);
    }

    void progressAndDifferences_data() { languages(); }
    void progressAndDifferences() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        MainRig rig;
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        // Slow replies keep the progress window up long enough to be read.
        rig.module->set_faults({.reply_delay = 5ms});
        ScreenTexts progress;
        Script reading({[&] {
            auto* window = modal<gui::ProgressDialog>();
            if (!window || window->lines().size() < 3) return false;
            // Its lines name the description's branches and parameters.
            progress.take(window, {window->findChild<QListWidget*>()});
            save_picture(window, "progress_window", language);
            return true;
        }});
        QVERIFY(rig.doc->read_all());
        QCOMPARE(reading.steps_done(), std::size_t(1));
        CHECK_ONE_LANGUAGE(progress, language);

        rig.module->set_faults({});
        QVERIFY(rig.module->set_value("t.out", -1, "7"));
        ScreenTexts differences;
        Script comparing({
            [&] {
                auto* box = modal<QMessageBox>();
                if (!box) return false;
                for (QAbstractButton* button : box->buttons())
                    if (button->text() == gui::qtext("Show all")) click_later(button);
                return true;
            },
            // The rows and the branch filter name the description's branches and parameters.
            [&] {
                auto* window = modal<gui::DifferencesWindow>();
                if (!window) return false;
                differences.take(window, {window->table(), window->branch_box()});
                save_picture(window, "differences_window", language);
                QMetaObject::invokeMethod(window, &QDialog::reject, Qt::QueuedConnection);
                return true;
            },
        });
        rig.doc->compare();
        QCOMPARE(comparing.steps_done(), std::size_t(2));
        CHECK_ONE_LANGUAGE(differences, language);
    }

    void applyAndTareWeight_data() { languages(); }
    void applyAndTareWeight() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        ScreenTexts apply;
        {
            ModelDocumentRig rig(kVK03);
            for (const auto& p : rig.doc->module_network()->parameters)
                QCOMPARE(rig.doc->device().read_parameter(*p, false), 0);
            rig.doc->module_network()->SetValue("bPS", "57600");
            Script script({[&] {
                auto* dialog = modal<gui::CApply>();
                if (!dialog) return false;
                // The settings' values are the description's ("None"): only their names are read.
                apply.take(dialog, {dialog->settings_label()});
                for (const QString& line : dialog->settings_label()->text().split(QLatin1Char('\n')))
                    apply.add(QStringLiteral("setting"), line.section(QLatin1Char(':'), 0, 0));
                save_picture(dialog, "apply_dialog", language);
                QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
                return true;
            }});
            rig.doc->apply_new_settings(false, false);
            QCOMPARE(script.steps_done(), std::size_t(1));
        }
        CHECK_ONE_LANGUAGE(apply, language);

        ScreenTexts tare;
        {
            ModelDocumentRig rig(kVK14);
            rig.module->set_value("Rd.fF", 0, "7.25");
            Script script({take_modal<gui::CWeightTDDlg>(
                tare, "tare_weight", language,
                [](gui::CWeightTDDlg& d) { return !d.weight_field()->text().isEmpty(); }, {})});
            gui::CWeightTDDlg::Open(*rig.doc, &rig.main_window);
            QCOMPARE(script.steps_done(), std::size_t(1));
        }
        CHECK_ONE_LANGUAGE(tare, language);
    }

    void helpAboutAndSimulator_data() { languages(); }
    void helpAboutAndSimulator() {
        QFETCH(Language, language);
        const gui::ScreenLanguage screen(language);
        QWidget owner;
        // The guide's pages are a document: its window and which guide it shows.
        gui::UserGuideWindow guide(gui::qtext(user_guide_path()), &owner);
        ScreenTexts help;
        help.take(&guide, {guide.browser()});
        help.add(QStringLiteral("guide"), guide.browser()->documentTitle());  // the guide in the language
        save_picture(&guide, "user_guide", language);
        CHECK_ONE_LANGUAGE(help, language);

        ScreenTexts about;
        Script script({[&] {
            auto* box = modal<QMessageBox>();
            if (!box) return false;
            about.take(box);
            save_picture(box, "about", language);
            box->accept();
            return true;
        }});
        gui::show_about(&owner);
        QCOMPARE(script.steps_done(), std::size_t(1));
        CHECK_ONE_LANGUAGE(about, language);

        gui::SimulatorPanel panel(served_module(kVK03));
        panel.run("status");
        ScreenTexts simulator;
        simulator.take(&panel);
        save_picture(&panel, "simulator_panel", language);
        CHECK_ONE_LANGUAGE(simulator, language);
    }

  private:
    static void languages() {
        QTest::addColumn<Language>("language");
        QTest::newRow("english") << Language::english;
        QTest::newRow("russian") << Language::russian;
    }

    MemorySettingsStore store_;
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(OneLanguageTest)
#include "gui_one_language_test.moc"
