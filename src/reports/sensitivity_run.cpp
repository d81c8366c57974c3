#include "reports/report.hpp"

namespace ketrovane {

void sensitivity_run(Report& report) {
  report.full_closing();
}

}  // namespace ketrovane
