// The language of the interface: Japanese (the program's own texts, the default) or English,
// chosen by --lang on the command line or remembered from 表示 > 言語 / Language.
#pragma once

#include "app/CommandLine.h"

#include <QString>
#include <optional>

namespace rolvet::lang {

enum class Language { Japanese, English };

// "ja" or "en" in any letter case; nothing for another code.
std::optional<Language> FromCode(const QString& code);
const char* Code(Language language);

// The choice remembered in the settings; nothing when none (or an unknown one) is stored.
std::optional<Language> Remembered();
void Remember(Language language);

// Makes every lookup of a marked text answer in `language`. Japanese needs no table; English
// loads the compiled table from the program's resources and returns false (leaving the
// interface Japanese) when it cannot.
bool Use(Language language);
// The language in use.
Language Current();

// Picks the language of this run: --lang first, then the remembered choice, else Japanese, and
// uses it. An unknown --lang prints a usage message on standard error and returns false.
bool ApplyCommandLine(const CommandLineInfo& info);

} // namespace rolvet::lang
