// MessageBoxA on the terminal: the box is drawn on stderr and answered by the host's
// setting, as a user pressing that button would.
#include <stdio.h>

#include "host/win32/emulation.h"
#include "host/win32/win32_api.h"

namespace qel::win32 {
namespace {

struct Button {
    const char* label;
    int32_t id;
};

struct ButtonRow {
    Button buttons[3];
    int count;
};

// The buttons of each MB_ button style (the low four bits of the style).
ButtonRow ButtonsOf(uint32_t style) {
    switch (style & 0xF) {
        case 1:
            return {{{"OK", 1}, {"Cancel", 2}}, 2};
        case 2:
            return {{{"Abort", 3}, {"Retry", 4}, {"Ignore", 5}}, 3};
        case 3:
            return {{{"Yes", 6}, {"No", 7}, {"Cancel", 2}}, 3};
        case 4:
            return {{{"Yes", 6}, {"No", 7}}, 2};
        case 5:
            return {{{"Retry", 4}, {"Cancel", 2}}, 2};
        case 6:
            return {{{"Cancel", 2}, {"Try Again", 10}, {"Continue", 11}}, 3};
        default:
            return {{{"OK", 1}}, 1};
    }
}

}  // namespace

QEL_WINAPI int32_t MessageBoxA(void*, const char* text, const char* caption, uint32_t style) {
    Emulation& settings = emulation();
    ShownBox shown;
    shown.text = text != nullptr ? text : "";
    shown.caption = caption != nullptr ? caption : "Error";  // Windows' default
    settings.boxes_shown.push_back(shown);
    settings.box_style_last = style;

    // The configured answer if the box has that button, otherwise its first button.
    const ButtonRow row = ButtonsOf(style);
    const Button* pressed = &row.buttons[0];
    for (int i = 0; i < row.count; ++i) {
        if (row.buttons[i].id == settings.box_answer)
            pressed = &row.buttons[i];
    }
    if (settings.print_boxes) {
        BoundedText labels;
        for (int i = 0; i < row.count; ++i)
            labels += BoundedText(" [ ") + row.buttons[i].label + " ]";
        fprintf(stderr, "+--- %s ---\n| %s\n|%s  -> %s\n", shown.caption.c_str(),
                shown.text.c_str(), labels.c_str(), pressed->label);
    }
    return pressed->id;
}

}  // namespace qel::win32
