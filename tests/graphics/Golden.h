#pragma once
// Pixel-exact comparison of a canvas with a checked-in PNG under tests/data/golden/. The actual
// picture is always written to the build tree (tests/graphics/output/<name>.png); a mismatch also
// writes <name>-diff.png there, the differing pixels in red over a faded copy of the golden, so
// a person can look. Goldens are written only by scripts/regenerate-goldens, which runs the
// tests with ORV_REGENERATE_GOLDENS=1.
//
// Text goes through QtTextPainter, so the tests need a QGuiApplication: the first call of
// LabelPainter() makes one on the offscreen platform.

#include "graphics/PlotCanvas.h"
#include "platform/QtTextPainter.h"

#include <QGuiApplication>
#include <QImage>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace orv {

// The application and the painter live until the end of the test run, and are destroyed in
// order by the test environment, before the statics Qt's font machinery keeps.
class QtEnvironment final : public ::testing::Environment
{
public:
    static QtEnvironment& Instance()
    {
        static QtEnvironment* environment = [] {
            auto* e = new QtEnvironment;  // owned by GoogleTest
            ::testing::AddGlobalTestEnvironment(e);
            return e;
        }();
        return *environment;
    }

    QtTextPainter& Painter()
    {
        if (!m_painter) {
            if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
                setenv("QT_QPA_PLATFORM", "offscreen", 1);
            }
            m_application = std::make_unique<QGuiApplication>(m_argc, m_argv);
            m_painter = std::make_unique<QtTextPainter>();
        }
        return *m_painter;
    }

    void TearDown() override
    {
        m_painter.reset();
        m_application.reset();
    }

private:
    int m_argc = 1;
    char m_name[16] = "test_drawing";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QGuiApplication> m_application;
    std::unique_ptr<QtTextPainter> m_painter;
};

// Registered before the tests run, so that its TearDown comes.
inline const bool kQtEnvironmentRegistered = (QtEnvironment::Instance(), true);

inline QtTextPainter& LabelPainter() { return QtEnvironment::Instance().Painter(); }

struct GoldenResult
{
    bool matches = false;
    std::string message;
};

inline std::filesystem::path GoldenOutputDir()
{
    return std::filesystem::path(ORV_BINARY_DIR) / "tests" / "graphics" / "output";
}

inline GoldenResult CompareWithGolden(const PlotCanvas& canvas, const std::string& name)
{
    namespace fs = std::filesystem;
    const fs::path golden =
        fs::path(ORV_SOURCE_DIR) / "tests" / "data" / "golden" / (name + ".png");
    const fs::path outputDir = GoldenOutputDir();
    std::error_code ec;
    fs::create_directories(outputDir, ec);
    const QImage actual = CanvasImageCopy(canvas);
    const fs::path actualPath = outputDir / (name + ".png");
    actual.save(QString::fromStdString(actualPath.string()), "PNG");

    const char* regenerate = std::getenv("ORV_REGENERATE_GOLDENS");
    if (regenerate != nullptr && std::string(regenerate) == "1") {
        std::string error;
        if (!SaveCanvasPng(canvas, golden.string(), error)) {
            return {false, "could not write the golden: " + error};
        }
        return {true, "golden written: " + golden.string()};
    }

    QImage expected;
    if (!expected.load(QString::fromStdString(golden.string()), "PNG")) {
        return {false, "no golden image " + golden.string() + " (look at " + actualPath.string() +
                           " and run scripts/regenerate-goldens if it is right)"};
    }
    expected = expected.convertToFormat(QImage::Format_RGB32);
    if (expected.size() != actual.size()) {
        return {false, "size differs from the golden " + golden.string()};
    }
    QImage diff = expected.copy();
    long differing = 0;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb a = actual.pixel(x, y);
            const QRgb e = expected.pixel(x, y);
            if ((a & 0xFFFFFFu) != (e & 0xFFFFFFu)) {
                ++differing;
                diff.setPixel(x, y, qRgb(255, 0, 0));
            } else {
                const int grey = 192 + qGray(e) / 4;
                diff.setPixel(x, y, qRgb(grey, grey, grey));
            }
        }
    }
    if (differing == 0) {
        return {true, ""};
    }
    const fs::path diffPath = outputDir / (name + "-diff.png");
    diff.save(QString::fromStdString(diffPath.string()), "PNG");
    return {false, std::to_string(differing) + " pixels differ from " + golden.string() +
                       "; the picture is " + actualPath.string() + ", the differences " +
                       diffPath.string()};
}

}  // namespace orv
