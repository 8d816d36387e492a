// Registers the linked-in home screen plug-in with the toolkit.
#include <QtPlugin>

Q_IMPORT_PLUGIN(HomePlugin)
