// Kept for the tests outside this folder that include it by this name.
#include "modalanswer.h"
