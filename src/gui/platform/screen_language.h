#pragma once

#include <QTranslator>

#include "core/platform/language.h"

namespace varda::gui {

// Puts every text on screen in one language while it lives: the core's texts (numbered texts, messages)
// and the window's own (its Russian translation from the resources, Qt's standard buttons from Qt's
// translations). Windows made after it show the language; at its end the texts are as written again.
class ScreenLanguage {
  public:
    explicit ScreenLanguage(Language language);
    ~ScreenLanguage();
    ScreenLanguage(const ScreenLanguage&) = delete;
    ScreenLanguage& operator=(const ScreenLanguage&) = delete;

    // The language of the system's locale as Qt sees it: Russian for ru_*, English for any other.
    static Language of_system();

  private:
    // lupdate names a class's texts by the bare class name, where Qt asks with its namespace.
    class WindowTranslator : public QTranslator {
      public:
        QString translate(const char* context, const char* source, const char* disambiguation,
                          int n) const override;
    };
    WindowTranslator window_texts_;
    QTranslator qt_texts_;
};

}  // namespace varda::gui
