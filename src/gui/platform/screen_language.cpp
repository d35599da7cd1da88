#include "gui/platform/screen_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <cstring>

// The translations live in a static library: their resources must be named to be linked in.
static void init_translation_resources() {
    Q_INIT_RESOURCE(translations);
}

namespace varda::gui {

ScreenLanguage::ScreenLanguage(Language language) {
    init_translation_resources();
    set_text_language(language);
    // The window's own texts are written in English; the core translates its texts itself.
    if (language != Language::russian) return;
    if (window_texts_.load(QStringLiteral("varda_ru"), QStringLiteral(":/i18n")))
        QCoreApplication::installTranslator(&window_texts_);
    if (qt_texts_.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qt_texts_);
}

ScreenLanguage::~ScreenLanguage() {
    QCoreApplication::removeTranslator(&qt_texts_);
    QCoreApplication::removeTranslator(&window_texts_);
    set_text_language(Language::as_written);
}

Language ScreenLanguage::of_system() {
    return language_of_locale(QLocale::system().name().toStdString());
}

QString ScreenLanguage::WindowTranslator::translate(const char* context, const char* source,
                                                    const char* disambiguation, int n) const {
    QString text = QTranslator::translate(context, source, disambiguation, n);
    if (!text.isNull() || !context) return text;
    const char* bare = std::strrchr(context, ':');
    return bare ? QTranslator::translate(bare + 1, source, disambiguation, n) : text;
}

}  // namespace varda::gui
