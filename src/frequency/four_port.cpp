#include "frequency/four_port.hpp"
