#include "ui/terminal/ProgramScreen.h"

#include "ui/PicturePanel.h"
#include "ui/terminal/PageText.h"
#include "ui/terminal/TerminalLayout.h"
#include "ui/terminal/WindowScene.h"

namespace ui::terminal {
namespace {

class ProgramScreen : public platform::display::terminal::TerminalScreen {
public:
    Layout Draw(CellFrame& frame, const std::optional<BoxContent>& box, const Look& look) override {
        WindowScene scene = ReadWindowScene(platform::display::terminal::MainWindow());
        // The words go with the picture: none before it has been drawn.
        if (!scene.picture.pixels.empty()) scene.page = mPages.Shown(ShownPicture());
        return DrawScreen(frame, scene, box, look);
    }

private:
    PageCatalog mPages;   // display thread only
};

} // namespace

std::unique_ptr<platform::display::terminal::TerminalScreen> MakeProgramScreen() {
    return std::make_unique<ProgramScreen>();
}

} // namespace ui::terminal
