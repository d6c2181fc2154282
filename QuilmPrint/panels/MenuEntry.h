// One line of a pull-down menu as the inspector's views compute it: a button, a headed section or a divider.
// Menus are lists of these, built afresh each time a menu opens, so tests can read what a menu offers without
// opening it.
#pragma once

#include <QString>
#include <vector>

namespace QuilmPrint {

struct MenuEntry {
    enum class Kind { item, section, divider };

    Kind kind = Kind::item;
    QString title;
    QString id; // what the menu's chooser receives for an item
    bool enabled = true;

    static MenuEntry item(QString title, QString id) {
        return {Kind::item, std::move(title), std::move(id), true};
    }
    static MenuEntry section(QString title) { return {Kind::section, std::move(title), {}, false}; }
    static MenuEntry divider() { return {Kind::divider, {}, {}, false}; }

    friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

using MenuEntries = std::vector<MenuEntry>;

} // namespace QuilmPrint
