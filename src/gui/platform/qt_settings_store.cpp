#include "gui/platform/qt_settings_store.h"

namespace varda::gui {
namespace {

QString key(std::string_view group, std::string_view name) {
    const QString n = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (group.empty()) return n;
    return QString::fromUtf8(group.data(), static_cast<qsizetype>(group.size())) + QLatin1Char('/') + n;
}

}  // namespace

QtSettingsStore::QtSettingsStore() : settings_(QStringLiteral("KEST"), QStringLiteral("Varda")) {}

std::optional<int> QtSettingsStore::get_int(std::string_view group, std::string_view name) const {
    const QVariant value = settings_.value(key(group, name));
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!value.isValid() || !ok) return std::nullopt;
    return n;
}

void QtSettingsStore::set_int(std::string_view group, std::string_view name, int value) {
    settings_.setValue(key(group, name), value);
}

std::optional<std::string> QtSettingsStore::get_string(std::string_view group, std::string_view name) const {
    const QVariant value = settings_.value(key(group, name));
    if (!value.isValid()) return std::nullopt;
    return value.toString().toStdString();
}

void QtSettingsStore::set_string(std::string_view group, std::string_view name, std::string_view value) {
    settings_.setValue(key(group, name),
                       QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
}

}  // namespace varda::gui
