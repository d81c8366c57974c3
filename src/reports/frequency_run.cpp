#include "reports/report.hpp"

namespace ketrovane {

void frequency_run(Report& report) {
  report.full_closing();
}

}  // namespace ketrovane
