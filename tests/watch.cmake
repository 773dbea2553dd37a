# The window-watching unit that every GUI test uses, checked on its own.
quarnel_add_test(test_watch watch_test.cpp MANIFESTS manifest_ui)
