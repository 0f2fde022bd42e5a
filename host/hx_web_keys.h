// Key events of a web page in GLFW 2.7 terms, for host/hx_glfw2_web.cpp.
// Plain functions of the event's texts (KeyboardEvent.key and .code), so
// that they are tested on every system.
#pragma once
#include <cstdlib>
#include <cstring>

#include "host/hx_glfw2.h"

namespace glfw2 {
namespace web {

struct CodeKey {
  const char* code;
  int key;
};
// The places (KeyboardEvent.code) that are neither letters, digits, keypad
// digits nor F-keys.
const CodeKey kCodeKeys[] = {
    {"Space", KEY_SPACE},          {"Quote", '\''},
    {"Comma", ','},                {"Minus", '-'},
    {"Period", '.'},               {"Slash", '/'},
    {"Semicolon", ';'},            {"Equal", '='},
    {"BracketLeft", '['},          {"Backslash", '\\'},
    {"BracketRight", ']'},         {"Backquote", '`'},
    {"Escape", KEY_ESC},           {"Enter", KEY_ENTER},
    {"Tab", KEY_TAB},              {"Backspace", KEY_BACKSPACE},
    {"Insert", KEY_INSERT},        {"Delete", KEY_DEL},
    {"ArrowRight", KEY_RIGHT},     {"ArrowLeft", KEY_LEFT},
    {"ArrowDown", KEY_DOWN},       {"ArrowUp", KEY_UP},
    {"PageUp", KEY_PAGEUP},        {"PageDown", KEY_PAGEDOWN},
    {"Home", KEY_HOME},            {"End", KEY_END},
    {"CapsLock", KEY_CAPS_LOCK},   {"ScrollLock", KEY_SCROLL_LOCK},
    {"NumLock", KEY_KP_NUM_LOCK},  {"Pause", KEY_PAUSE},
    {"NumpadDecimal", KEY_KP_DECIMAL}, {"NumpadDivide", KEY_KP_DIVIDE},
    {"NumpadMultiply", KEY_KP_MULTIPLY}, {"NumpadSubtract", KEY_KP_SUBTRACT},
    {"NumpadAdd", KEY_KP_ADD},     {"NumpadEnter", KEY_KP_ENTER},
    {"NumpadEqual", KEY_KP_EQUAL}, {"ShiftLeft", KEY_LSHIFT},
    {"ShiftRight", KEY_RSHIFT},    {"ControlLeft", KEY_LCTRL},
    {"ControlRight", KEY_RCTRL},   {"AltLeft", KEY_LALT},
    {"AltRight", KEY_RALT},        {"MetaLeft", KEY_LSUPER},
    {"MetaRight", KEY_RSUPER},     {"OSLeft", KEY_LSUPER},
    {"OSRight", KEY_RSUPER},       {"ContextMenu", KEY_MENU},
};

// The 2.7 key of a key's place (the US layout's key there), KEY_UNKNOWN
// when 2.7 has none.
inline int KeyOfCode(const char* code) {
  size_t n = strlen(code);
  if (n == 4 && strncmp(code, "Key", 3) == 0 && code[3] >= 'A' && code[3] <= 'Z') return code[3];
  if (n == 6 && strncmp(code, "Digit", 5) == 0 && code[5] >= '0' && code[5] <= '9') return code[5];
  if (n == 7 && strncmp(code, "Numpad", 6) == 0 && code[6] >= '0' && code[6] <= '9')
    return KEY_KP_0 + (code[6] - '0');
  if (code[0] == 'F' && n >= 2 && n <= 3 && code[1] >= '1' && code[1] <= '9' &&
      (n == 2 || (code[2] >= '0' && code[2] <= '9'))) {
    int f = atoi(code + 1);
    if (f >= 1 && f <= 25) return KEY_F1 + f - 1;
  }
  for (const CodeKey& k : kCodeKeys)
    if (strcmp(k.code, code) == 0) return k.key;
  return KEY_UNKNOWN;
}

// The one Unicode character of a key's text (UTF-8), 0 for a named key
// ("Enter", "Dead", ...), anything longer or anything that is not UTF-8.
inline int CharOfKeyText(const char* text) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  int c, extra;
  if (s[0] == 0) return 0;
  if (s[0] < 0x80) {
    c = s[0];
    extra = 0;
  } else if ((s[0] & 0xE0) == 0xC0) {
    c = s[0] & 0x1F;
    extra = 1;
  } else if ((s[0] & 0xF0) == 0xE0) {
    c = s[0] & 0x0F;
    extra = 2;
  } else if ((s[0] & 0xF8) == 0xF0) {
    c = s[0] & 0x07;
    extra = 3;
  } else {
    return 0;
  }
  for (int i = 1; i <= extra; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    c = (c << 6) | (s[i] & 0x3F);
  }
  return s[extra + 1] == 0 ? c : 0;
}

// The 2.7 key a key event names: a letter by the character the player's
// layout gives it (key), any other key by its place (code); a key without
// a known place (some on-screen keyboards) by its character.
inline int KeyOfEvent(const char* key, const char* code) {
  int c = CharOfKeyText(key);
  if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
  if (c >= 'A' && c <= 'Z') return c;
  int k = KeyOfCode(code);
  if (k != KEY_UNKNOWN) return k;
  return c >= 32 && c <= 126 ? c : KEY_UNKNOWN;
}

}  // namespace web
}  // namespace glfw2
