#include "reports/report.hpp"

namespace ketrovane {

void impedance_run(Report& report) {
  report.full_closing();
}

}  // namespace ketrovane
