#include "service/SoftwareCatalog.h"

SoftwareCatalog::~SoftwareCatalog() {}
