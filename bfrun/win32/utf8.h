// Text between bfrun's UTF-8 and Windows' UTF-16 (utf8_win32.cpp).
#pragma once

#include <string>

std::wstring widen_utf8(const std::string& text);
std::string narrow_utf8(const std::wstring& text);
