#pragma once
// The title and version live in product.h; this name stays for the files that include it.
#include "product.h"
