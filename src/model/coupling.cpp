#include "model/stripline_model.hpp"
