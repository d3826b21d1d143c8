#pragma once

#include <QApplication>
#include <QWidget>

#include <stdexcept>
#include <string>

namespace vantry {

// The toolkit's application object for widget and font tests. It is never destroyed: tearing
// it down among other static objects at exit is not safe.
inline QApplication& toolkit() {
    static int argc = 1;
    static char name[] = "vantry-test";
    static char* argv[] = {name, nullptr};
    static auto* app = new QApplication(argc, argv);
    return *app;
}

// A first base for test fixtures whose members are widgets: the application object must exist
// before they are built.
struct WithToolkit {
    WithToolkit() { toolkit(); }
};

// The widget of the dialog by its object name; a dialog without it fails the test with that name.
template <class T> T* child(const QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QLatin1String(name));
    if (!found)
        throw std::runtime_error(std::string("no child named ") + name);
    return found;
}

} // namespace vantry
