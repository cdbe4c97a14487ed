#pragma once
// The languages the windows speak, by the code the start form keeps (LangCode): 1 Russian,
// 2 German, 3 English. Before a language is chosen (0) the windows speak German, the forms' own
// language. Every text that follows the language asks here, so that no two parts can read a code
// differently.
#include <cstdint>

namespace zarn {

enum class Language { German, Russian, English };

inline constexpr int32_t kLangRussian = 1;
inline constexpr int32_t kLangGerman = 2;
inline constexpr int32_t kLangEnglish = 3;

constexpr Language LanguageOf(int32_t langCode) {
  return langCode == kLangRussian   ? Language::Russian
         : langCode == kLangEnglish ? Language::English
                                    : Language::German;
}

// Of three texts, the one in `language`.
template <class T>
constexpr const T& InLanguage(Language language, const T& german, const T& russian, const T& english) {
  return language == Language::Russian ? russian : language == Language::English ? english : german;
}

// A text in the three languages, UTF-8.
struct Phrase {
  const char* German;
  const char* Russian;
  const char* English;
  constexpr const char* In(Language language) const { return InLanguage(language, German, Russian, English); }
};

}  // namespace zarn
