// Pictures of the setup pages as the window shows them. With ORV_SCREENSHOT_DIR set they are
// written there (docs/screenshots/ holds the ones the README shows); otherwise into a temporary
// folder. Either way each page must render: a picture of one colour means the page drew
// nothing.

#include "SheetFixture.h"

#include <QImage>
#include <QPixmap>

#include <cstdlib>
#include <filesystem>

namespace orv {
namespace {

class ScreenshotTest : public SheetFixture
{
};

TEST_F(ScreenshotTest, SetupPagesRender)
{
    const char* wanted = std::getenv("ORV_SCREENSHOT_DIR");
    const std::string folder = wanted != nullptr ? std::string(wanted) : m_dir.File("shots");
    std::filesystem::create_directories(folder);
    MakeSheet();
    m_sheet->resize(480, 560);
    const struct
    {
        int index;
        const char* file;
    } pages[] = {{0, "static-settings.png"}, {1, "other-settings.png"}};
    for (const auto& page : pages) {
        SCOPED_TRACE(page.file);
        ASSERT_TRUE(m_sheet->SetActivePage(page.index));
        QApplication::processEvents();
        const QImage image = m_sheet->grab().toImage();
        ASSERT_FALSE(image.isNull());
        int differing = 0;
        const QRgb first = image.pixel(0, 0);
        for (int y = 0; y < image.height(); y += 4) {
            for (int x = 0; x < image.width(); x += 4) {
                differing += image.pixel(x, y) != first ? 1 : 0;
            }
        }
        EXPECT_GT(differing, 100);
        const std::string path = folder + "/" + page.file;
        EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG")) << path;
    }
}

}  // namespace
}  // namespace orv
