target_sources(tarvik_engine PRIVATE
    ZipEngine.cpp
    zip/ArchiveFile.cpp
    zip/ArchiveWriter.cpp
    zip/DeflatePool.cpp
    zip/ErrorMap.cpp
    zip/ExtraFields.cpp
    zip/Extractor.cpp
    zip/FileSource.cpp
    zip/PropertyText.cpp
    zip/SafePath.cpp
    zip/SafeTarget.cpp
    zip/SourceWalker.cpp
    zip/Wildcard.cpp
    zip/WorkerThreads.cpp
)
# The deflate workers call zlib directly.
find_package(ZLIB REQUIRED)
target_link_libraries(tarvik_engine PRIVATE ZLIB::ZLIB)
