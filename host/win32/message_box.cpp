// MessageBoxA on the terminal: the box is drawn on stderr and answered by the host's
// setting, as a user pressing that button would.
#include <stdio.h>

#include <string>
#include <vector>

#include "host/win32/emulation.h"
#include "host/win32/win32_api.h"

namespace qel::win32 {
namespace {

struct Button {
    const char* label;
    int32_t id;
};

// The buttons of each MB_ button style (the low four bits of the style).
std::vector<Button> ButtonsOf(uint32_t style) {
    switch (style & 0xF) {
        case 1:
            return {{"OK", 1}, {"Cancel", 2}};
        case 2:
            return {{"Abort", 3}, {"Retry", 4}, {"Ignore", 5}};
        case 3:
            return {{"Yes", 6}, {"No", 7}, {"Cancel", 2}};
        case 4:
            return {{"Yes", 6}, {"No", 7}};
        case 5:
            return {{"Retry", 4}, {"Cancel", 2}};
        case 6:
            return {{"Cancel", 2}, {"Try Again", 10}, {"Continue", 11}};
        default:
            return {{"OK", 1}};
    }
}

}  // namespace

QEL_WINAPI int32_t MessageBoxA(void*, const char* text, const char* caption, uint32_t style) {
    Emulation& settings = emulation();
    const std::string box_text = text != nullptr ? text : "";
    const std::string box_caption = caption != nullptr ? caption : "Error";  // Windows' default
    settings.boxes_shown.emplace_back(box_caption, box_text);
    settings.box_style_last = style;

    // The configured answer if the box has that button, otherwise its first button.
    const std::vector<Button> buttons = ButtonsOf(style);
    const Button* pressed = &buttons.front();
    for (const Button& button : buttons) {
        if (button.id == settings.box_answer)
            pressed = &button;
    }
    if (settings.print_boxes) {
        std::string row;
        for (const Button& button : buttons)
            row += std::string(" [ ") + button.label + " ]";
        fprintf(stderr, "+--- %s ---\n| %s\n|%s  -> %s\n", box_caption.c_str(), box_text.c_str(),
                row.c_str(), pressed->label);
    }
    return pressed->id;
}

}  // namespace qel::win32
