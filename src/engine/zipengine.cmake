target_sources(tarvik_engine PRIVATE ZipEngine.cpp)
