// The differences window on screen after a compare against a simulated VK03 with three differences: "Show
// all" in the comparison result opens it, its check boxes reach the rows, and "Write checked to the module"
// writes only the checked ones. Also renders the window to <build>/screenshots.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <chrono>

#include <QAction>
#include <QSettings>
#include <QTemporaryDir>

#include "core/app/document/document.h"
#include "core/app/document/menu_state.h"
#include "gui/document/differences_window.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/main_window_rig.h"

using namespace varda;
using namespace varda::test;

namespace {

// A VK03 document read from its module, whose values then change in three places: the module's time-out and
// the filters of inputs 2 and 3.
struct Rig : ModelDocumentRig {
    Rig() : ModelDocumentRig(3) {
        doc->device().finish_grace = std::chrono::milliseconds(0);
        QCOMPARE(doc->device().identify(false), Identification::KnownModel);
        QVERIFY(doc->read_all());
        QVERIFY(module->set_value("t.out", -1, "7"));
        QVERIFY(module->set_value("FiLt", 1, "20"));
        QVERIFY(module->set_value("FiLt", 2, "30"));
    }
};

// Presses "Show all" in the comparison result.
bool show_all() {
    auto* box = modal<QMessageBox>();
    if (!box) return false;
    for (QAbstractButton* button : box->buttons())
        if (button->text() == QStringLiteral("Show all")) click_later(button);
    return true;
}

QStringList column(QTableWidget* table, int c) {
    QStringList out;
    for (int r = 0; r < table->rowCount(); ++r)
        out << table->item(r, c)->text();
    return out;
}

}  // namespace

class DifferencesTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
        QVERIFY(QDir().mkpath(screenshot_folder()));
    }

    // Device > Compare with file...: "Show all", and the file's values taken into the document.
    void compareWithFileFromTheMenu() {
        MainWindowRig rig(served_module(3), CBrandRavelin());
        QVERIFY(rig.connect());
        QVERIFY(rig.doc->read_all());
        const QString path = settings_dir_.filePath(QStringLiteral("plant.vdc"));
        QVERIFY(rig.doc->save_file(path.toStdString()));
        Parameter* filter = nullptr;
        for (const auto& branch : rig.doc->root()->children)
            if (Parameter* p = branch->FindOwnParameter("FiLt"); p && p->network_index == 1) filter = p;
        QVERIFY(filter);
        filter->SetValueText("55");

        QString title;
        int rows = -1;
        Script script({show_all, [&] {
                           auto* window = modal<gui::DifferencesWindow>();
                           if (!window) return false;
                           title = window->windowTitle();
                           window->take_button()->click();
                           rows = window->table()->rowCount();
                           window->accept();
                           return true;
                       }});
        // What the menu command runs once the file is chosen (the file dialog itself is Qt's).
        QAction* command = rig.window->action(kCmdCompareWithFile);
        QVERIFY(command && command->isEnabled());
        QVERIFY(compare_with_file(*rig.doc, path.toStdString()));
        QCOMPARE(script.steps_done(), std::size_t(2));
        QCOMPARE(title, QStringLiteral("Differences: document and plant.vdc"));
        QCOMPARE(rows, 0);
        QCOMPARE(filter->value_text(), std::string("10"));
        QCOMPARE(rig.doc->history().undo_name(), std::string("Take values from the file"));
    }

    void showAllListsEveryDifference() {
        Rig rig;
        QString message;
        QStringList places, documents, others, branches;
        Script script({[&] {
                           if (auto* box = modal<QMessageBox>()) message = box->text();
                           return show_all();
                       },
                       [&] {
                           auto* window = modal<gui::DifferencesWindow>();
                           if (!window) return false;
                           QTableWidget* table = window->table();
                           places = column(table, 1);
                           documents = column(table, 3);
                           others = column(table, 4);
                           for (int k = 0; k < window->branch_box()->count(); ++k)
                               branches << window->branch_box()->itemText(k);
                           save_screenshot(window->grab(), "differences_window");
                           window->accept();
                           return true;
                       }});
        QVERIFY(rig.doc->compare());
        QCOMPARE(script.steps_done(), std::size_t(2));
        QVERIFY2(message.contains(QStringLiteral("2. Parameter 'Вход 2/FiLt:1 (")), qPrintable(message));
        QCOMPARE(places, (QStringList{"t.out", "FiLt:1", "FiLt:2"}));
        QCOMPARE(documents, (QStringList{"10", "10", "10"}));
        QCOMPARE(others, (QStringList{"7", "20", "30"}));
        QCOMPARE(branches, (QStringList{"All branches", "Вход 2", "Вход 3", "Сведения о модуле"}));
    }

    void writeCheckedWritesOnlyTheCheckedRows() {
        Rig rig;
        QString summary;
        int filtered_rows = 0;
        Script script({show_all,
                       [&] {
                           auto* window = modal<gui::DifferencesWindow>();
                           if (!window) return false;
                           // Only the second input: the branch filter, then its check box.
                           QComboBox* branch = window->branch_box();
                           branch->setCurrentIndex(branch->findText(QStringLiteral("Вход 2")));
                           filtered_rows = window->table()->rowCount();
                           for (QPushButton* b : window->findChildren<QPushButton*>())
                               if (b->text() == QStringLiteral("Uncheck all")) b->click();
                           branch->setCurrentIndex(0);
                           summary = window->summary()->text();
                           click_later(window->write_button());
                           return true;
                       },
                       [&] {
                           auto* window = modal<gui::DifferencesWindow>();
                           // Back from the write: the two rows written are gone.
                           if (!window || window->table()->rowCount() != 1) return false;
                           window->accept();
                           return true;
                       }});
        QVERIFY(rig.doc->compare());
        QCOMPARE(script.steps_done(), std::size_t(3));
        QCOMPARE(filtered_rows, 1);
        QCOMPARE(summary, QStringLiteral("3 differences, 3 shown, 2 checked"));
        QCOMPARE(rig.module->value("t.out"), std::optional<std::string>("10"));
        QCOMPARE(rig.module->value("FiLt", 2), std::optional<std::string>("10"));
        QCOMPARE(rig.module->value("FiLt", 1), std::optional<std::string>("20"));
    }

    void theKeyboardReachesEveryControl() {
        Rig rig;
        QString summary;
        QStringList path;
        Script script({show_all, [&] {
                           auto* window = modal<gui::DifferencesWindow>();
                           if (!window) return false;
                           QTableWidget* table = window->table();
                           table->setFocus();
                           table->setCurrentCell(1, 0);
                           QTest::keyClick(table, Qt::Key_Space);  // unchecks the second row
                           summary = window->summary()->text();
                           for (int k = 0; k < 4; ++k) {
                               QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
                               auto* button = qobject_cast<QAbstractButton*>(window->focusWidget());
                               path << (button ? button->text()
                                               : window->focusWidget()->metaObject()->className());
                           }
                           window->accept();
                           return true;
                       }});
        QVERIFY(rig.doc->compare());
        QCOMPARE(script.steps_done(), std::size_t(2));
        QCOMPARE(summary, QStringLiteral("3 differences, 3 shown, 2 checked"));
        QCOMPARE(path, (QStringList{"Take checked values into the document", "Write checked to the module",
                                    "Close", "QComboBox"}));
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(DifferencesTest)
#include "gui_differences_test.moc"
