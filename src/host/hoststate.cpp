#include "hoststate.h"

namespace host {

namespace {
std::unique_ptr<HostState> &stateRef()
{
    static std::unique_ptr<HostState> s = std::make_unique<HostState>();
    return s;
}
} // namespace

HostState &state()
{
    return *stateRef();
}

void resetState()
{
    Environment env = stateRef()->env;
    stateRef() = std::make_unique<HostState>();
    stateRef()->env = env;
}

lns::TemplateContext HostState::templateContext() const
{
    lns::TemplateContext ctx;
    ctx.ini = &ini;
    ctx.deviceTemplate = conn.deviceTemplate;
    return ctx;
}

platform::StatusWindow &statusWindow()
{
    HostState &s = state();
    if (!s.statusWindow) {
        if (s.env.statusWindowFactory)
            s.statusWindow = s.env.statusWindowFactory();
        if (!s.statusWindow)
            s.statusWindow = std::make_shared<platform::HeadlessStatusWindow>();
    }
    return *s.statusWindow;
}

MainWindowPort &mainWindow()
{
    HostState &s = state();
    if (!s.mainWindow) {
        if (s.env.mainWindowFactory)
            s.mainWindow = s.env.mainWindowFactory();
        if (!s.mainWindow) {
            // Without a window (headless tools) Display does nothing visible.
            class NoWindow : public MainWindowPort
            {
            public:
                void setupForCommand(int) override {}
                void display() override { m_loaded = true; }
                bool isLoaded() const override { return m_loaded; }
                void unload() override { m_loaded = false; }

            private:
                bool m_loaded = false;
            };
            s.mainWindow = std::make_shared<NoWindow>();
        }
    }
    return *s.mainWindow;
}

} // namespace host
