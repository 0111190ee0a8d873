/* The program's texts, written once: the resource script builds its STRINGTABLE from
   this list and the native build its lookup table. Each entry is
   STRING_ENTRY(id, name, text); "%s" and "%d" are filled in by the message composer. */

/* ---- questions */
STRING_ENTRY(1, IDS_SAVE_CHANGES, "The changes in current \n%s\nwill be lost!\nDo you want to save it NOW ?")
STRING_ENTRY(11, IDS_CONFIRM_DELETE, "Are you sure you want to DELETE the \"%s\" ?")
STRING_ENTRY(28, IDS_CONFIRM_UNDO, "All the changes will be lost!\nDo you want to continue?")

/* ---- caption and titles */
STRING_ENTRY(2, IDS_CAPTION, "Oskan vCard Editor")
STRING_ENTRY(29, IDS_SAVE_AS_TITLE, "Choose file to save")
STRING_ENTRY(63, IDS_VERSION_LINE, "Oskan vCard Editor Version %d.%d.%d%d")
STRING_ENTRY(41, IDS_TITLE_CARD, "%s [%d/%d]")

/* ---- the cards of a file */
STRING_ENTRY(40, IDS_CARD_NUMBER, "Card %d")

/* ---- start-up */
STRING_ENTRY(3, IDS_GDIPLUS_FAILED, "Cannot initialize GDI Plus library")

/* ---- file commands */
STRING_ENTRY(5, IDS_CANNOT_OPEN, "Cannot open vCard file\r\n'%s'")
STRING_ENTRY(6, IDS_NOT_VALID_FILE, "Not a valid vCard file %s")
STRING_ENTRY(7, IDS_CANNOT_CREATE, "Cannot create vCard file\r\n'%s'")
STRING_ENTRY(8, IDS_CANNOT_SAVE, "Cannot save vCard file %s")
STRING_ENTRY(9, IDS_CANNOT_DELETE, "Cannot delete file %s")
STRING_ENTRY(19, IDS_CARD_NOT_VALID, "The vCard data is not valid.")

/* ---- details of the reader, the writer and validation */
STRING_ENTRY(21, IDS_DETAIL_INVALID_PARAMETER, "Syntax error - invalid parameter:\n%s\nfor %s")
STRING_ENTRY(22, IDS_DETAIL_FIRST_LINE_FOLDED, "First line cannot start with a space or have previous empty line")
STRING_ENTRY(23, IDS_DETAIL_FIRST_LINE, "First line must begin with: %s")
STRING_ENTRY(24, IDS_DETAIL_MISSING_COLON, "Syntax error at line %d [missing ':']:\n%s")
STRING_ENTRY(25, IDS_DETAIL_VERSION_FIRST, "VERSION property must exist and be the first")
STRING_ENTRY(26, IDS_DETAIL_VERSION_AND_FN, "VERSION property must exist and be the first. Also FN property must be present")
STRING_ENTRY(27, IDS_DETAIL_FN_MISSING, "FN property must exist")
STRING_ENTRY(30, IDS_DETAIL_LINE_BREAK_IN_URI, "The value of %s holds a line break, which a URI cannot hold: put it on one line")
STRING_ENTRY(31, IDS_DETAIL_UTF16, "The file is UTF-16 text: save it as UTF-8 and open it again")

/* ---- adding groups, properties and parameters */
STRING_ENTRY(10, IDS_GROUP_NOT_ADDED, "A new group with name '%s' could not be added in this vCard.")
STRING_ENTRY(12, IDS_SELECT_PROPERTY, "Please select a property from the list")
STRING_ENTRY(13, IDS_INVALID_GROUP_NAME, "Invalid name '%s' for the new group. Please enter a valid name.")
STRING_ENTRY(14, IDS_INVALID_PROPERTY_NAME, "Invalid name '%s' for the new property. Please enter a valid name.")
STRING_ENTRY(15, IDS_PROPERTY_NOT_ADDED, "A new property '%s' could not be added in this vCard.")
STRING_ENTRY(16, IDS_NO_PARAMETER_CHOSEN, "At least one parameter must have the instance number greater than zero.")
STRING_ENTRY(17, IDS_ADD_CAPTION, "%s a new property as part of '%s' group")
STRING_ENTRY(18, IDS_ONLY_PRESET, "Only '%s' property may be added at this time.")
STRING_ENTRY(20, IDS_INVALID_PARAMETER_NAME, "Invalid name '%s' for the new parameter. Please enter a valid name.")

/* ---- help and links */
STRING_ENTRY(4, IDS_SHELL_FAILED, "Fail to execute associated application.")
STRING_ENTRY(60, IDS_HELP_NO_CONTROL, "Help cannot be loaded - HHCTRL.ocx could not be found")
STRING_ENTRY(61, IDS_HELP_NO_ENTRY, "Help cannot be loaded - HtmlHelpW could not be found")
STRING_ENTRY(62, IDS_HELP_NO_FILE, "Help cannot be loaded - chm file could not be found")
