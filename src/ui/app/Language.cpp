#include "app/Language.h"

#include "common/Strings.h"

#include <QSettings>
#include <QTranslator>

#include <cstdio>

namespace rolvet::lang {

namespace {

constexpr const char* kSettingsKey = "Settings/Language";
constexpr const char* kEnglishTable = ":/i18n/rolvet_en.qm";

Language g_current = Language::Japanese;

// Never destroyed: lookups may still run while static objects are torn down at exit.
QTranslator& Translator() {
    static auto* translator = new QTranslator;
    return *translator;
}

std::string Lookup(const char* text) {
    const QString translated = Translator().translate(str::kTranslationContext, text);
    return translated.isEmpty() ? std::string(text) : translated.toStdString();
}

QSettings Settings() {
    return QSettings(QString::fromUtf8(str::kSettingsOrganization),
                     QString::fromUtf8(str::kSettingsApplication));
}

} // namespace

std::optional<Language> FromCode(const QString& code) {
    const QString lower = code.toLower();
    if (lower == QLatin1String("ja")) {
        return Language::Japanese;
    }
    if (lower == QLatin1String("en")) {
        return Language::English;
    }
    return std::nullopt;
}

const char* Code(Language language) {
    return language == Language::English ? "en" : "ja";
}

std::optional<Language> Remembered() {
    return FromCode(Settings().value(QLatin1String(kSettingsKey)).toString());
}

void Remember(Language language) {
    QSettings settings = Settings();
    settings.setValue(QLatin1String(kSettingsKey), QLatin1String(Code(language)));
    settings.sync();
}

bool Use(Language language) {
    if (language == Language::English) {
        if (!Translator().load(QLatin1String(kEnglishTable))) {
            return false;
        }
        SetTranslateFunction(Lookup);
    } else {
        SetTranslateFunction(nullptr);
    }
    g_current = language;
    return true;
}

Language Current() {
    return g_current;
}

bool ApplyCommandLine(const CommandLineInfo& info) {
    std::optional<Language> language;
    if (info.language) {
        language = FromCode(*info.language);
        if (!language) {
            std::fprintf(stderr, "rolvet: --lang takes ja (Japanese) or en (English)\n"
                                 "Usage: rolvet --lang ja|en [TRACK.rolvet]\n");
            return false;
        }
    } else {
        language = Remembered();
    }
    if (language && !Use(*language)) {
        std::fprintf(stderr, "rolvet: the English texts could not be loaded; using Japanese\n");
    }
    return true;
}

} // namespace rolvet::lang
