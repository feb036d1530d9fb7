#pragma once

#include "framework/text.h"
#include "platform/win32.h"

#include <map>
#include <string>

// A menu bar with popups addressed by caption and items addressed by command identifier.
class WindowMenu {
public:
    WindowMenu();
    WindowMenu(const WindowMenu&) = delete;
    WindowMenu& operator=(const WindowMenu&) = delete;
    virtual ~WindowMenu() = default;

    virtual int create();
    virtual int addPopup(UINT fType, const std::string& name, UINT item);
    virtual int addSubPopup(const std::string& parentName, UINT fType, const std::string& name,
                            UINT item);
    virtual int addItem(const std::string& parentName, UINT fType, const std::string& text,
                        UINT id);
    virtual int deleteItem(UINT item);
    virtual int deleteSubItem(const std::string& parentName, UINT item);
    virtual HMENU getHandle();

protected:
    // Makes the popup under name and inserts it into target before item.
    int insertPopup(HMENU target, UINT fType, const std::string& name, UINT item);

    HMENU handle = nullptr;
    std::map<std::string, HMENU> popupMap;
    MENUITEMINFOW itemInfo{};
};
