#include "common/Strings.h"

#include <atomic>

namespace rolvet {

namespace {

std::atomic<TranslateFunction> g_translate{nullptr};

} // namespace

std::string Translate(const char* text) {
    if (const TranslateFunction translate = g_translate.load(std::memory_order_acquire)) {
        return translate(text);
    }
    return text;
}

void SetTranslateFunction(TranslateFunction function) {
    g_translate.store(function, std::memory_order_release);
}

} // namespace rolvet
