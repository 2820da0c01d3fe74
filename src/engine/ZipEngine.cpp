// placeholder so the tree configures until the engine lands
