// Symbols of the plug-in's string table. Descriptions keep their own symbols in description/*.h.
enum
{
	// Title of the preferences page
	IDS_VELAPREFS_TITLE = 20000,

	// Ends the list, as every symbol header of the host does
	_DUMMY_ELEMENT_
};
