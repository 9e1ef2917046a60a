#include "regex/regex_object.h"

#include <gtest/gtest.h>
