// Win32 backend: the profile (INI) functions.
#include <windows.h>

#include <optional>

#include "platform/Platform.h"
#include "platform/win32/Wide.h"

namespace plat {

using win32::Widen;

namespace {

std::optional<std::wstring> WidenOptional(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return Widen(*text);
}

const wchar_t* OrNull(const std::optional<std::wstring>& text) {
  return text ? text->c_str() : nullptr;
}

wchar_t* Chars(std::u16string& buffer) {
  return reinterpret_cast<wchar_t*>(buffer.data());
}

}  // namespace

uint32_t GetPrivateProfileStringW(const std::optional<std::string>& section,
                                  const std::optional<std::string>& key,
                                  const std::string& defaultValue, std::u16string& buffer,
                                  uint32_t bufferChars, const std::string& fileName) {
  const auto wideSection = WidenOptional(section);
  const auto wideKey = WidenOptional(key);
  const std::wstring wideDefault = Widen(defaultValue);
  const std::wstring wideFile = Widen(fileName);
  buffer.assign(bufferChars, u'\0');
  return ::GetPrivateProfileStringW(OrNull(wideSection), OrNull(wideKey), wideDefault.c_str(),
                                    Chars(buffer), bufferChars, wideFile.c_str());
}

uint32_t GetPrivateProfileSectionNamesW(std::u16string& buffer, uint32_t bufferChars,
                                        const std::string& fileName) {
  const std::wstring wideFile = Widen(fileName);
  buffer.assign(bufferChars, u'\0');
  return ::GetPrivateProfileSectionNamesW(Chars(buffer), bufferChars, wideFile.c_str());
}

bool WritePrivateProfileStringW(const std::optional<std::string>& section,
                                const std::optional<std::string>& key,
                                const std::optional<std::string>& value,
                                const std::string& fileName) {
  const auto wideSection = WidenOptional(section);
  const auto wideKey = WidenOptional(key);
  const auto wideValue = WidenOptional(value);
  const std::wstring wideFile = Widen(fileName);
  // The flush call (everything absent) may come without a file name.
  const bool flush = !section && !key && !value && fileName.empty();
  return ::WritePrivateProfileStringW(OrNull(wideSection), OrNull(wideKey), OrNull(wideValue),
                                      flush ? nullptr : wideFile.c_str()) != FALSE;
}

}  // namespace plat
