#include "app/qt/qsettings_profile_store.h"

namespace kirvo {

QSettingsProfileStore::QSettingsProfileStore()
    : settings_(std::make_unique<QSettings>(QStringLiteral("Orvane"), QStringLiteral("Kirvo"))) {}

QSettingsProfileStore::QSettingsProfileStore(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

QString QSettingsProfileStore::Key(std::string_view section, std::string_view entry) {
    return QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())) + u'/' +
           QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
}

int32_t QSettingsProfileStore::GetProfileInt(std::string_view section, std::string_view entry,
                                             int32_t defaultValue) {
    const QVariant value = settings_->value(Key(section, entry));
    if (!value.isValid()) return defaultValue;
    switch (value.typeId()) {
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        int32_t parsed = 0;
        return ParseProfileInt(value.toString().toStdString(), parsed) ? parsed : defaultValue;
    }
    default:
        // Lists (an INI value with a comma), binary data and anything else.
        return defaultValue;
    }
}

void QSettingsProfileStore::WriteProfileInt(std::string_view section, std::string_view entry,
                                            int32_t value) {
    settings_->setValue(Key(section, entry), static_cast<int>(value));
}

std::string QSettingsProfileStore::GetProfileString(std::string_view section,
                                                    std::string_view entry,
                                                    std::string_view defaultValue) {
    const QVariant value = settings_->value(Key(section, entry));
    if (!value.isValid()) return std::string(defaultValue);
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toString().toStdString();
    case QMetaType::QStringList:
        // An unquoted comma turns an INI value into a list; join it back.
        return value.toStringList().join(u',').toStdString();
    default:
        return std::string(defaultValue);
    }
}

void QSettingsProfileStore::WriteProfileString(std::string_view section, std::string_view entry,
                                               std::string_view value) {
    settings_->setValue(Key(section, entry),
                        QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
}

void QSettingsProfileStore::Sync() { settings_->sync(); }

}  // namespace kirvo
