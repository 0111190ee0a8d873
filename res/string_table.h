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
STRING_ENTRY(42, IDS_TITLE_VERSION, " (vCard %s)")

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
STRING_ENTRY(32, IDS_SAVE_UTF16_AS_UTF8, "%s\nis UTF-16 text. It will be saved as UTF-8, which vCard programs read.\nDo you want to save it as UTF-8?")
STRING_ENTRY(33, IDS_TEXT_KEPT_AS_READ, "Some text of line %d cannot be shown in this system's code page: it is shown and saved as the bytes the file holds.")
STRING_ENTRY(44, IDS_CONVERTED, "%s\nwas saved as vCard %s. The conversion from vCard %s changed:\n\n%s")
STRING_ENTRY(45, IDS_MORE_CHANGES, "... and %d more")
STRING_ENTRY(46, IDS_PATH_TOO_LONG, "The editor opens paths of at most %d characters. This one is longer, and was not opened:\n%s")
STRING_ENTRY(49, IDS_SAVE_PATH_TOO_LONG, "The editor saves to paths of at most %d characters. This one is longer, and nothing was saved:\n%s")
STRING_ENTRY(47, IDS_PATH_NOT_IN_CODE_PAGE, "The name of this file has characters this system's code page cannot hold, and it was not opened:\n%s")
STRING_ENTRY(48, IDS_FILES_NOT_OPENED, "The editor opens one file at a time: it opens\n%s\nThese files dropped with it were not opened:\n%s")
STRING_ENTRY(43, IDS_DATA_VALUE, "%s data of %lu bytes, kept as the file holds it")

/* ---- details of the reader, the writer and validation */
STRING_ENTRY(21, IDS_DETAIL_INVALID_PARAMETER, "Syntax error - invalid parameter:\n%s\nfor %s")
STRING_ENTRY(22, IDS_DETAIL_FIRST_LINE_FOLDED, "First line cannot start with a space or have previous empty line")
STRING_ENTRY(23, IDS_DETAIL_FIRST_LINE, "First line must begin with: %s")
STRING_ENTRY(24, IDS_DETAIL_MISSING_COLON, "Syntax error at line %d [missing ':']:\n%s")
STRING_ENTRY(25, IDS_DETAIL_VERSION_FIRST, "VERSION property must exist and be the first")
STRING_ENTRY(26, IDS_DETAIL_VERSION_AND_FN, "VERSION property must exist and be the first. Also FN property must be present")
STRING_ENTRY(27, IDS_DETAIL_FN_MISSING, "FN property must exist")
STRING_ENTRY(30, IDS_DETAIL_LINE_BREAK_IN_URI, "The value of %s holds a line break, which a URI cannot hold: put it on one line")
STRING_ENTRY(34, IDS_DETAIL_TEXT_NOT_IN_CODE_PAGE, "Line %d holds characters this system's code page cannot hold")
STRING_ENTRY(31, IDS_DETAIL_UTF16, "The file is UTF-16 text: save it as UTF-8 and open it again")

/* ---- what a conversion between versions changed: the property, parameter and detail
   of a change, in the order each text names them */
STRING_ENTRY(70, IDS_CHANGE_VERSION, "VERSION: was %s")
STRING_ENTRY(71, IDS_CHANGE_ENCODING_REMOVED, "%s: %s=%s removed (the text is UTF-8)")
STRING_ENTRY(72, IDS_CHANGE_TEXT_BYTES_TO_UTF8, "%s: text read as %s is written as UTF-8")
STRING_ENTRY(73, IDS_CHANGE_TEXT_KEPT_AS_READ, "%s: text of an unknown character set kept as the bytes read")
STRING_ENTRY(74, IDS_CHANGE_ENCODING_ADDED, "%s: %s=%s added")
STRING_ENTRY(75, IDS_CHANGE_ENCODING_RENAMED, "%s: ENCODING is now %s")
STRING_ENTRY(76, IDS_CHANGE_BINARY_TO_DATA_URI, "%s: inline data became a data: URI of type %s")
STRING_ENTRY(77, IDS_CHANGE_DATA_URI_TO_BINARY, "%s: data: URI of type %s became inline data")
STRING_ENTRY(78, IDS_CHANGE_TYPE_LIST_SPLIT, "%s: TYPE=\"%s\" written as a value each")
STRING_ENTRY(79, IDS_CHANGE_TYPE_PREF_TO_PREF, "%s: TYPE=PREF became PREF=1")
STRING_ENTRY(80, IDS_CHANGE_PREF_TO_TYPE_PREF, "%s: PREF=1 became TYPE=PREF")
STRING_ENTRY(81, IDS_CHANGE_PREF_RANK_LOST, "%s: PREF=%s became TYPE=PREF (the rank is lost)")
STRING_ENTRY(82, IDS_CHANGE_PARAMETER_NAMED, "%s: parameters %s written with their names")
STRING_ENTRY(83, IDS_CHANGE_PARAMETER_MADE_BARE, "%s: TYPE values %s written alone")
STRING_ENTRY(84, IDS_CHANGE_LABEL_TO_ADDRESS, "LABEL became the LABEL parameter of its ADR")
STRING_ENTRY(85, IDS_CHANGE_LABEL_KEPT, "LABEL kept as a property: no ADR has its TYPE values")
STRING_ENTRY(86, IDS_CHANGE_LABEL_PARAMETER_LOST, "LABEL: parameter %s=%s dropped with the property")
STRING_ENTRY(87, IDS_CHANGE_ADDRESS_LABEL_TO_LABEL, "ADR: its LABEL parameter became a LABEL property")
STRING_ENTRY(88, IDS_CHANGE_SORT_STRING_TO_SORT_AS, "SORT-STRING became SORT-AS of N")
STRING_ENTRY(89, IDS_CHANGE_SORT_AS_TO_SORT_STRING, "N: SORT-AS became a SORT-STRING property")
STRING_ENTRY(90, IDS_CHANGE_SORT_STRING_KEPT, "SORT-STRING kept as a property: the card has no N")
STRING_ENTRY(91, IDS_CHANGE_AGENT_TO_RELATED, "%s became RELATED;TYPE=agent (%s)")
STRING_ENTRY(92, IDS_CHANGE_RELATED_TO_AGENT, "%s;TYPE=agent became AGENT (%s)")
STRING_ENTRY(93, IDS_CHANGE_NESTED_CARD_TO_TEXT, "a card inside the card became the text of %s")
STRING_ENTRY(94, IDS_CHANGE_FN_MADE, "FN made: \"%s\"")
STRING_ENTRY(95, IDS_CHANGE_PROPERTY_RENAMED, "%s renamed %s")
STRING_ENTRY(96, IDS_CHANGE_PARAMETER_RENAMED, "%s: parameter %s renamed %s")
STRING_ENTRY(97, IDS_CHANGE_VALUE_TYPE_RENAMED, "%s: VALUE is now %s")
STRING_ENTRY(98, IDS_CHANGE_URI_VALUE_NAMED, "%s: VALUE=uri added, so that the URI is not taken for data")
STRING_ENTRY(99, IDS_CHANGE_LIST_COMMA_MERGED, "%s: a comma inside a value now separates two values")
STRING_ENTRY(100, IDS_CHANGE_VALUE_RESPELLED, "%s: %s written in the new version's form")
STRING_ENTRY(101, IDS_CHANGE_LINE_BREAKS, "%s: line breaks written as %s")
STRING_ENTRY(102, IDS_CHANGE_PARAMETER_VALUE_RESPELLED, "%s: parameter %s=%s has no 2.1 spelling: ' and blanks stand for \" and line breaks")
STRING_ENTRY(103, IDS_CHANGE_TEL_URI_TO_TEXT, "%s: the URI %s written as the number's text")

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
STRING_ENTRY(104, IDS_LIBRARY_NOT_LOADED, "Cannot load %s")
STRING_ENTRY(62, IDS_HELP_NO_FILE, "Help cannot be loaded - chm file could not be found")
