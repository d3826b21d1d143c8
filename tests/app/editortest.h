#pragma once

#include "app/vantryapp.h"
#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/scriptedprompter.h"
#include "support/testdir.h"
#include "support/toolkit.h"
#include "view/vantryview.h"

#include <QSettings>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstddef>

namespace vantry {

// The editor of one test, with scripted answers: its settings, recent files and recovery files
// are kept in the test's own folder and never written back, and its documents are left
// unmodified at the end so that closing them asks nothing.
class EditorTest : public ::testing::Test {
protected:
    EditorTest() {
        toolkit();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(dir.file("config")));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.file("data")));
        settings->persistOnExit = false;
    }
    ~EditorTest() override {
        for (const auto& d : app.documents())
            d->SetModifiedFlag(false);
    }

    // Starts the editor on the files (on a new document without any) and takes its view.
    void start(const QStringList& files = {}) {
        app.InitInstance(files);
        view = app.activeView();
        doc = view->GetDocument();
    }
    Link* link(int id) const { return doc->network().links()[static_cast<std::size_t>(id - 1)]; }
    Node* node(int id) const { return doc->network().nodes()[static_cast<std::size_t>(id - 1)]; }

    TestDir dir;
    SingletonPtr<UserDefinedSettings> settings;
    ScriptedPrompter prompter;
    CVantryApp app{&prompter};
    CVantryView* view = nullptr;
    CVantryDoc* doc = nullptr;
};

} // namespace vantry
