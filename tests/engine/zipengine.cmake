# ZipEngine: pure matching pieces, zip runs, unzip runs.
tarvik_add_test(tst_zipengine_match SOURCES tst_zipengine_match.cpp LIBS tarvik_engine)
tarvik_add_test(tst_zipengine_create
    SOURCES tst_zipengine_create.cpp tst_zipengine_tools.cpp LIBS tarvik_engine)
tarvik_add_test(tst_zipengine_extract
    SOURCES tst_zipengine_extract.cpp tst_zipengine_tools.cpp LIBS tarvik_engine)
# The same archive for any number of deflate threads; extraction on several threads.
tarvik_add_test(tst_zipengine_parallel
    SOURCES tst_zipengine_parallel.cpp tst_zipengine_tools.cpp LIBS tarvik_engine)
