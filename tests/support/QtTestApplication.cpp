#include <QApplication>
#include <gtest/gtest.h>

#include <memory>

namespace orv {

namespace {

class QtEnvironment final : public ::testing::Environment
{
public:
    void SetUp() override
    {
        // The tests never need a display, whoever starts them.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[9] = "orv_test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

// Google Test owns and deletes the environment.
[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

QApplication& TestApplication() { return *qApp; }

}  // namespace orv
