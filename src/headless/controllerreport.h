// One controller of the commissioning report taken from the page model and
// the configuration: identity from the connection, every parameter as the
// pages show it with the page its control sits on, and the device
// template's defaults. The window's menu entry and the tool's `report`
// command both take it from here.
#pragma once

#include <report/reportmodel.h>

namespace model {
class PageModel;
}
namespace configuration {
class cConfiguration;
}

namespace headless {

// The report of the connection's controller from the current values;
// nothing is read from the device. `config` nullptr: the command did not
// start (the report says so). `objectName`: the name the report shows
// (empty: the network path of the connection's object).
report::ControllerReport controllerReport(const model::PageModel &page, configuration::cConfiguration *config,
                                          const QString &objectName = QString());

} // namespace headless
