# The application font resolves to a Japanese face under a Japanese locale: the headline
# figures must keep their weight there too.
add_test(NAME HeadlineFonts.UnderJapaneseLocale
         COMMAND trovimo_panel_tests --gtest_filter=HeadlineFonts.*)
set_tests_properties(HeadlineFonts.UnderJapaneseLocale PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8;LANGUAGE=ja"
    LABELS panel)
