#include "controller/ViewController.h"

namespace scrawlet {

const std::vector<std::string>& emojiTable() {
    // Stored exactly as they are drawn: variation selectors (U+FE0F) and the
    // zero-width joiner of the polar bear are part of the entries.
    // Five entries a line, as the table is numbered.
    // clang-format off
    static const std::vector<std::string> table{
        "\U0001F436", "\U0001F431", "\U0001F42D", "\U0001F439", "\U0001F430",
        "\U0001F98A", "\U0001F43B", "\U0001F43C", "\U0001F43B\u200D\u2744\uFE0F", "\U0001F428",
        "\U0001F42F", "\U0001F981", "\U0001F42E", "\U0001F437", "\U0001F438",
        "\U0001F435", "\U0001F425", "\U0001F423", "\U0001F984", "\U0001F41E",
        "\U0001F420", "\U0001F42C", "\U0001F98B", "\U0001F419", "\U0001F425",
        "\U0001F40D", "\U0001F996", "\U0001F419", "\U0001F99E", "\U0001F433",
        "\U0001FA90", "\U0001F30F", "\U0001F4AB", "\u2744\uFE0F", "\u26C4\uFE0F",
        "\U0001F4A7", "\U0001F325\uFE0F", "\U0001F34C", "\U0001F349", "\U0001F9B4",
        "\U0001F41D", "\U0001F40C", "\u2618\uFE0F", "\U0001F33A", "\U0001F344",
        "\U0001F34E", "\U0001F34A", "\U0001F34C", "\U0001F347", "\U0001F353",
        "\U0001F354", "\U0001F35F", "\U0001F366", "\U0001F382", "\U0001F36D",
        "\U0001F36C", "\U0001F369", "\U0001F355", "\U0001F37C", "\U0001F365",
        "\U0001F308", "\U0001F338", "\u2764\uFE0F", "\U0001F496", "\U0001F31E",
        "\U0001F319", "\u2B50\uFE0F", "\u2728", "\U0001F3DD", "\U0001F384",
        "\U0001F388", "\u26BD\uFE0F", "\U0001F3C0", "\u26BE\uFE0F", "\U0001F3C9",
    };
    // clang-format on
    return table;
}

}  // namespace scrawlet
