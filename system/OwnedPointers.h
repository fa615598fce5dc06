#pragma once
// Lists that own raw pointers to polymorphic objects (the catalog's records,
// a sheet's pages) release them with this.
#include <vector>

template <typename T>
void DeleteAllObjects(std::vector<T*>& objects) {
    for (T* object : objects) delete object;
    objects.clear();
}
