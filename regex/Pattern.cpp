#include "Pattern.h"
