#include "reports/report.hpp"

namespace ketrovane {

void synthesis_run(Report& report) {
  report.full_closing();
}

}  // namespace ketrovane
