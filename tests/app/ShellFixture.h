#pragma once
// A main window with its mediator and colleagues, without GL, over a temporary data folder;
// the windows behind the colleagues are recording fakes.
#include <gtest/gtest.h>

#include <QMdiArea>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "app/ResourceBundle.h"
#include "app/TavrelMainFrame.h"
#include "app/TavrelMediator.h"
#include "tests/app/ShellFakes.h"
#include "tests/support/TempFolder.h"
#include "uikit/UiText.h"

namespace tavrel::testing {

class ShellFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TAVREL_HOME", home.Path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        ASSERT_TRUE(bundle.Load(TAVREL_VESK_RCC));
        previousSink = ui::SetMessageSink([this](const Message& m) { messages.push_back(m); });
        frame = std::make_unique<CTavrelMainFrame>();
        frame->BuildCommands();
        frame->show();
        CShellOptions options{home.Path(), home / "program", false};
        mediator = std::make_unique<CTavrelMediator>(frame.get(), options);
        frame->SetMediator(mediator.get());
        mediator->SetProgramEnd([this] { ++programEnds; });
        mediator->Timeline()->SetPanel(new QWidget, &timeline);
        mediator->Gallery()->SetPane(new QWidget, &gallery);
        mediator->Window3D()->SetTools(&tools);
    }
    void TearDown() override {
        mediator.reset();
        frame.reset();
        ui::SetMessageSink(previousSink);
        bundle.Unload();
    }

    // Resizes the main window so that the MDI client area is exactly width x height.
    void SetClientSize(int width, int height) {
        const QSize client = frame->MdiArea()->viewport()->size();
        frame->resize(frame->width() + width - client.width(),
                      frame->height() + height - client.height());
        QTest::qWait(0);
    }

    TempFolder home;
    CResourceBundle bundle;
    ui::MessageSink previousSink;
    std::vector<Message> messages;
    int programEnds = 0;
    CallLog log;
    FakeTimeline timeline{log};
    FakeGallery gallery{log};
    FakeTools tools{log};
    std::unique_ptr<CTavrelMainFrame> frame;
    std::unique_ptr<CTavrelMediator> mediator;
};

}  // namespace tavrel::testing
