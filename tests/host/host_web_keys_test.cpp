// Key events of the web page in GLFW 2.7 terms: letters by the layout's
// character, other keys by their place, characters from the key's text.
#include <gtest/gtest.h>

#include "host/hx_glfw_game.h"
#include "host/hx_web_keys.h"

namespace {

using namespace glfw2;

TEST(HostWebKeys, EventsNameTheKeysTheGameKnows) {
  struct Case {
    const char* key;   // KeyboardEvent.key
    const char* code;  // KeyboardEvent.code
    int glfw;          // the 2.7 key
    int game;          // the framework's key code (0: ignored)
  } cases[] = {
      {"a", "KeyA", 'A', 65},
      {"A", "KeyA", 'A', 65},                // with Shift
      {"a", "KeyQ", 'A', 65},                // AZERTY: the key labelled A
      {"z", "KeyY", 'Z', 90},                // QWERTZ
      {"\xD1\x84", "KeyA", 'A', 65},          // Cyrillic layout: by place
      {"!", "Digit1", '1', 49},              // Shift+1 is still the 1 key
      {"&", "Digit1", '1', 49},              // AZERTY's digit row
      {" ", "Space", KEY_SPACE, 32},
      {"Enter", "Enter", KEY_ENTER, 13},
      {"Enter", "NumpadEnter", KEY_KP_ENTER, 0},
      {"Escape", "Escape", KEY_ESC, 27},
      {"Backspace", "Backspace", KEY_BACKSPACE, 8},
      {"Delete", "Delete", KEY_DEL, 46},
      {"ArrowLeft", "ArrowLeft", KEY_LEFT, 37},
      {"ArrowUp", "ArrowUp", KEY_UP, 38},
      {"ArrowRight", "ArrowRight", KEY_RIGHT, 39},
      {"ArrowDown", "ArrowDown", KEY_DOWN, 40},
      {"F1", "F1", KEY_F1, 112},
      {"F4", "F4", KEY_F1 + 3, 115},
      {"F11", "F11", KEY_F1 + 10, 122},
      {"F12", "F12", KEY_F12, 123},
      {"F24", "F24", KEY_F1 + 23, 0},
      {"7", "Numpad7", KEY_KP_0 + 7, 103},
      {"Home", "Numpad7", KEY_KP_0 + 7, 103},  // Num Lock off: still the keypad key
      {"`", "Backquote", '`', 192},
      {"Dead", "BracketLeft", '[', 219},     // a dead key: by place
      {"Shift", "ShiftRight", KEY_RSHIFT, 16},
      {"Meta", "MetaLeft", KEY_LSUPER, 0},
      {"q", "", 'Q', 81},                    // no place given: by character
      {"-", "", '-', 189},
      {"\xC3\xA9", "", KEY_UNKNOWN, 0},       // é without a place: nothing
      {"Unidentified", "", KEY_UNKNOWN, 0},
      {"Fn", "Fn", KEY_UNKNOWN, 0},          // not an F-key
      {"F13", "F0", KEY_UNKNOWN, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " at " + c.code);
    int k = web::KeyOfEvent(c.key, c.code);
    EXPECT_EQ(k, c.glfw);
    EXPECT_EQ(k == KEY_UNKNOWN ? 0 : HxGlfwGame::TransKey(k), c.game);
  }
}

TEST(HostWebKeys, KeyTextIsOneCharacterOrNone) {
  struct Case {
    const char* text;
    int character;
  } cases[] = {
      {"a", 'a'},
      {" ", ' '},
      {"\xC3\xA9", 0xE9},               // é
      {"\xE2\x82\xAC", 0x20AC},         // €
      {"\xF0\x9F\x98\x80", 0x1F600},    // an emoji, beyond 16 bits
      {"", 0},
      {"Enter", 0},
      {"Dead", 0},
      {"ab", 0},
      {"\xC3", 0},                      // cut short
      {"\xC3\xA9x", 0},                 // one character and more
      {"\xFF", 0},                      // not UTF-8
      {"\x80", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(web::CharOfKeyText(c.text), c.character) << '"' << c.text << '"';
}

}  // namespace
