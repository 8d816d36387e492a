// The plug-in that holds the home screen: a module loaded at run time, or linked in (the
// tests, and the Windows build) where QT_STATICPLUGIN is defined.
#include <QObject>

#include "ui/screens/home_screen.h"
#include "ui/screens/launch_screen.h"

namespace halvark::ui::screens {

class HomePlugin : public QObject, public HomeScreenFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID HALVARK_HOME_SCREEN_FACTORY_IID)
    Q_INTERFACES(halvark::ui::screens::HomeScreenFactory)

  public:
    HomeScreen* create_home_screen(QWidget* parent) override { return new LaunchScreen(parent); }
};

}  // namespace halvark::ui::screens

#include "home_plugin.moc"
