// The texts a window shows a user, gathered to be checked for one language: Cyrillic under English,
// English words under Russian. Shared by the Qt tests that sweep the windows in each language; each window
// is also rendered to <build>/screenshots/lang, for a person to look for clipped texts.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextDocumentFragment>
#include <QTreeView>
#include <QtTest>
#include <functional>
#include <utility>

#include "core/platform/language.h"
#include "gui_test_support.h"

Q_DECLARE_METATYPE(varda::Language)

namespace varda::test {

inline bool has_cyrillic(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x0400 && c.unicode() <= 0x04FF) return true;
    return false;
}

// English words left in a text meant to be Russian: a Latin word with three lowercase letters in a row, or
// a short word that joins others ("2 of 43"). Names are set aside first: paths and file patterns
// ("/dev/ttyS0", "*.vdc"), network names and file names with a dot inside ("t.out", "varda.dat"), words
// with digits ("ttyS0", a build's hash).
inline QStringList english_words(QString text) {
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
    bool contains(const QString& text) const {
        return std::any_of(texts_.begin(), texts_.end(), [&](const auto& t) { return t.second == text; });
    }

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

inline QString language_name(Language language) {
    return language == Language::russian ? QStringLiteral("ru") : QStringLiteral("en");
}

inline void save_picture(QWidget* window, const char* name, Language language) {
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

// The data rows of a test run once in each language.
inline void each_language() {
    QTest::addColumn<Language>("language");
    QTest::newRow("english") << Language::english;
    QTest::newRow("russian") << Language::russian;
}

}  // namespace varda::test
