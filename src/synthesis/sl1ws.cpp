#include "synthesis/synthesis.hpp"
