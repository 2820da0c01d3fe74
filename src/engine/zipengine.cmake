target_sources(tarvik_engine PRIVATE
    ZipEngine.cpp
    zip/ArchiveWriter.cpp
    zip/ErrorMap.cpp
    zip/ExtraFields.cpp
    zip/Extractor.cpp
    zip/FileSource.cpp
    zip/PropertyText.cpp
    zip/SafePath.cpp
    zip/SafeTarget.cpp
    zip/SourceWalker.cpp
    zip/Wildcard.cpp
)
