/* Numbers of the editor's resources, shared by the resource script and the C++ code.
   Only #define lines and comments, so that windres and the compiler both read it.

   Ranges, one per kind:
       1 -    99   strings                  (res/string_table.h, not here)
     100 -   199   dialogs, menus, icon and bitmap (IDD_, IDR_, IDI_, IDB_); the numbers
                   are the program's fixed ones, so the kinds interleave inside this range
    1000 -  1099   controls (IDC_); the main window's button ids are also the commands
                   of their menu items
     555, 1200     the in-place editors of the lists (a combo box and an edit), created
                   by the program over a cell, not by a template
   40000 - 40099   menu commands that no button carries (ID_)
   The Exit button and menu item use IDCANCEL (2), so that Escape and the close box
   reach the same handler. */
#ifndef VCARDEDIT_RES_RESOURCE_H
#define VCARDEDIT_RES_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC                  (-1)
#endif

/* ---- dialogs */
#define IDD_MAIN                    101
#define IDD_ABOUT                   103
#define IDD_ADD_PROPERTY            124
#define IDD_ADD_PARAMETERS          125
#define IDD_SETTINGS                126
#define IDD_CARD_PICKER             127

/* ---- menus and the main window's keyboard shortcuts */
#define IDR_MAIN_MENU               120
#define IDR_ITEM_CONTEXT            123   /* New and Delete, over the tree and the parameter list */
#define IDR_MAIN_SHORTCUTS          130

/* ---- icon, and the links' hand cursor (another resource type, so the same number
   names two resources) */
#define IDI_APP                     102
#define IDC_LINK_CURSOR             102

/* ---- the command buttons' pictures, resource type "PNG" */
#define IDP_SAVE                    113
#define IDP_HELP                    115
#define IDP_EXIT                    116
#define IDP_UNDO                    119
#define IDP_OPEN                    122

/* ---- bitmaps: the tree's 16-pixel images, in the order of card/nodes.h's image
   indices (a bitmap, so its number may be that of IDD_ADD_PARAMETERS) */
#define IDB_TREE_IMAGES             125
#define TREE_IMAGE_WIDTH            16

/* ---- main window controls; the five buttons double as menu commands */
#define IDC_SAVE                    1021
#define IDC_OPEN                    1022
#define IDC_HELP_CONTENTS           1025
#define IDC_UNDO                    1026
#define IDC_COMPONENT_LIST          1027
#define IDC_PARAMETER_LIST          1028
#define IDC_PROPERTY_TREE           1035
#define IDC_RETIRED_TREE            1044    /* a card's tree being emptied, hidden */
#define IDC_VALUE_EDIT              1039
#define IDC_PREDEFINED_VALUES       1043

/* ---- About box controls; the web link's number lies outside the range, as the
   dialog has always had it */
#define IDC_ABOUT_WEB               214
#define IDC_ABOUT_MAIL              1015
#define IDC_ABOUT_VERSION           1047

/* ---- settings dialog */
#define IDC_ESCAPE_COLON            1042

/* ---- the Add dialog */
#define IDC_ADD_PROPERTY_LIST       1024
#define IDC_ADD_GROUP               1029
#define IDC_ADD_STANDARD            1030
#define IDC_ADD_GROUP_NAME          1031
#define IDC_ADD_OTHER               1032
#define IDC_ADD_OTHER_NAME          1034

/* ---- the Add new parameter(s) dialog; its check box has the number of the Add
   dialog's third radio button, the same choice of a name of the user's own */
#define IDC_PARAMETER_KINDS         1036
#define IDC_OTHER_PARAMETER         IDC_ADD_OTHER
#define IDC_OTHER_PARAMETER_NAME    1040

/* ---- card picker */
#define IDC_CARD_LIST               1070

/* ---- in-place editors over a list cell */
#define IDC_INPLACE_COMBO           555
#define IDC_INPLACE_EDIT            1200

/* ---- menu commands of the main menu */
#define ID_HELP_ABOUT               40017
#define ID_EDIT_SETTINGS            40022
#define ID_FILE_SAVE_AS             40024
#define ID_FILE_NEW                 40025

/* ---- the recent files on the Actions menu, put there by the program: the first
   file's command and those after it, one each, and their separator */
#define ID_FILE_RECENT_FIRST        40030   /* to 40037 */
#define ID_FILE_RECENT_SEPARATOR    40038

/* ---- the item context menu */
#define ID_ITEM_DELETE              40020
#define ID_ITEM_NEW                 40021
#define ID_ITEM_MENU                40023   /* the menu key and Shift+F10: the item menu */

#endif /* VCARDEDIT_RES_RESOURCE_H */
