// Renders the main window, its menus, the progress window and the icon set to PNG files under
// <build>/screenshots, for a person to look at. It checks only that the pictures were written.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <thread>

#include "core/app/document/document.h"
#include "core/app/document/menu_state.h"
#include "core/app/files/paths.h"
#include "core/devices/brand.h"
#include "core/link/options.h"
#include "core/model/description_archive.h"
#include "core/model/device_table.h"
#include "gui/document/main_window.h"
#include "gui/document/progress_dialog.h"
#include "gui/platform/qt_ui.h"
#include "gui/platform/screen_language.h"
#include "gui/tree/tree_view.h"
#include "sim/in_process_backend.h"
#include "sim/model_module.h"
#include "tests/support/gui_test_support.h"

using namespace varda;
using namespace varda::test;

// The main window of the full brand (every command, so every icon shows) over a module read whole, its
// first channel open.
struct WindowRig {
    bool start() {
        DescriptionArchive archive(description_archive_path(), false);
        const DescriptionText text = ReadModelDescription(archive, 3);
        auto module = std::make_shared<sim::SimulatedModule>();
        std::string error;
        if (!text.ok || !sim::serve_model(*module, 3, text.text, error)) return false;
        doc = std::make_unique<CTarnDoc>(options, std::make_unique<sim::InProcessBackend>(module));
        doc->start(false, false);
        if (!doc->new_document()) return false;
        window = std::make_unique<gui::MainWindow>(*doc, options, brand);
        view = new gui::ConfigurationTreePane(*doc);
        window->set_central_view(view);
        window->resize(1100, 640);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()) || !doc->read_all()) return false;
        view->rebuild();
        view->tree().expandToDepth(2);
        QApplication::processEvents();
        return true;
    }
    ~WindowRig() {
        if (doc) doc->modified = false;
    }

    Options options;
    const CBrandKest brand{};
    std::unique_ptr<CTarnDoc> doc;
    std::unique_ptr<gui::MainWindow> window;
    gui::ConfigurationTreePane* view = nullptr;
};

class ScreenshotTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(QDir().mkpath(screenshot_folder()));
        Q_INIT_RESOURCE(icons);
        set_ui(&ui_);
    }
    void cleanupTestCase() { set_ui(nullptr); }

    void mainWindowAndMenus() {
        WindowRig rig;
        QVERIFY(rig.start());
        gui::MainWindow& window = *rig.window;
        gui::ConfigurationTreePane* view = rig.view;
        window.statusBar()->showMessage(QStringLiteral("Read all parameters from the module"));
        save_screenshot(window.grab(), "main_window");

        for (const auto& [title, name] :
             {std::pair{"&Device", "menu_device"}, std::pair{"Tools", "menu_tools"},
              std::pair{"&File", "menu_file"}}) {
            QMenu* menu = window.top_menu(QString::fromUtf8(title));
            QVERIFY(menu);
            menu->popup(window.mapToGlobal(QPoint(10, 30)));
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            save_screenshot(menu->grab(), name);
            menu->hide();
        }

        // A maximised window on a large and on a small screen: the row spans the view and every caption
        // shows whole.
        QHeaderView* header = view->tree().header();
        for (const auto& [size, name] : {std::pair{QSize(1600, 1000), "main_window_1600x1000"},
                                         std::pair{QSize(800, 600), "main_window_800x600"}}) {
            window.resize(size);
            QApplication::processEvents();
            QCOMPARE(header->length(), view->tree().viewport()->width());
            for (int c = 0; c < header->count(); ++c) {
                const QString caption = header->model()->headerData(c, Qt::Horizontal).toString();
                QVERIFY2(header->sectionSize(c) > header->fontMetrics().horizontalAdvance(caption) + 6,
                         qPrintable(caption));
            }
            save_screenshot(window.grab(), name);
        }
    }

    // Every text on screen in one language: the menus, the column captions and the status bar, in
    // Russian under a Russian locale and in English under any other.
    void mainWindowInEachLanguage() {
        struct Case {
            Language language;
            const char* picture;
            const char* device_menu;
            const char* read_all;
            const char* description;
            const char* summary;
            const char* yes;  // Qt's own standard button
        };
        const Case cases[] = {
            {Language::russian, "main_window_ru", "&Прибор", "Считать все", "Описание",
             "Прочитано параметров: ", "&Да"},
            {Language::english, "main_window_en", "&Device", "Read all", "Description", "Read ", "&Yes"},
        };
        for (const Case& c : cases) {
            const gui::ScreenLanguage language(c.language);
            WindowRig rig;
            QVERIFY(rig.start());
            QMenu* device = rig.window->top_menu(QString::fromUtf8(c.device_menu));
            QVERIFY(device);
            QCOMPARE(device->actions().first()->text(), QString::fromUtf8(c.read_all));
            QCOMPARE(rig.view->tree().header()->model()->headerData(0, Qt::Horizontal).toString(),
                     QString::fromUtf8(c.description));
            // The summary of the read in the status bar.
            QStringList status;
            for (const QLabel* label : rig.window->statusBar()->findChildren<QLabel*>())
                status << label->text();
            const QRegularExpression summary(QLatin1Char('^') + QString::fromUtf8(c.summary) +
                                             QStringLiteral("\\d"));
            QVERIFY2(!status.filter(summary).isEmpty(), qPrintable(status.join(QLatin1Char('|'))));
            save_screenshot(rig.window->grab(), c.picture);
            const QDialogButtonBox answers(QDialogButtonBox::Yes);
            QCOMPARE(answers.button(QDialogButtonBox::Yes)->text(), QString::fromUtf8(c.yes));
        }
    }

    void progressWindow() {
        std::thread worker;
        ExchangeRequest request;
        request.title = "Read parameters from device";
        request.total = 157;
        std::unique_ptr<gui::ProgressDialog> dialog;
        request.on_open = [&worker](ProgressWindow& window) {
            worker = std::thread([&window] {
                window.add_line("Branch: Network_parameters");
                for (int i = 1; i <= 42; ++i) {
                    window.add_line("  Read: p" + std::to_string(i) + " = " + std::to_string(i * 7));
                    window.set_progress(i, 157, "00:00:04");
                }
            });
        };
        dialog = std::make_unique<gui::ProgressDialog>(request);
        QTimer::singleShot(300, dialog.get(), [&] {
            save_screenshot(dialog->grab(), "progress_window");
            dialog->progress_window().close();
        });
        QVERIFY(dialog->run());
        worker.join();
    }

    void iconSheet() {
        // Every icon at 16 and at 32 pixels, on light and on dark ground.
        const QStringList names = QDir(QStringLiteral(":/icons")).entryList();
        QVERIFY(!names.isEmpty());
        const int cell = 56;
        QImage sheet(cell * names.size(), cell * 2, QImage::Format_ARGB32);
        sheet.fill(QColor(240, 240, 240));
        QPainter painter(&sheet);
        painter.fillRect(0, cell, sheet.width(), cell, QColor(50, 54, 60));
        for (int i = 0; i < names.size(); ++i) {
            const QIcon icon(QStringLiteral(":/icons/") + names[i]);
            for (const int top : {0, cell}) {
                painter.drawPixmap(i * cell + 3, top + 20, icon.pixmap(16, 16));
                painter.drawPixmap(i * cell + 22, top + 12, icon.pixmap(32, 32));
            }
        }
        painter.end();
        save_screenshot(QPixmap::fromImage(sheet), "icons");

        // The 16-pixel drawings magnified, pixel for pixel, with their names.
        const int columns = 7, zoom = 4, box = 16 * zoom + 24;
        const int rows = (static_cast<int>(names.size()) + columns - 1) / columns;
        QImage zoomed(columns * box * 2, rows * box, QImage::Format_ARGB32);
        zoomed.fill(QColor(240, 240, 240));
        QPainter z(&zoomed);
        for (int i = 0; i < names.size(); ++i) {
            const QIcon icon(QStringLiteral(":/icons/") + names[i]);
            const QPoint at((i % columns) * box * 2 + 4, (i / columns) * box + 4);
            z.drawPixmap(at, icon.pixmap(16, 16).scaled(16 * zoom, 16 * zoom, Qt::IgnoreAspectRatio,
                                                        Qt::FastTransformation));
            z.drawText(at + QPoint(16 * zoom + 6, 24), QString(names[i]).remove(QStringLiteral(".svg")));
        }
        z.end();
        save_screenshot(QPixmap::fromImage(zoomed), "icons_zoomed");
    }

  private:
    gui::QtUi ui_;
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(ScreenshotTest)
#include "gui_screenshot_test.moc"
