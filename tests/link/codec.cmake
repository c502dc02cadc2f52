# codec and encoding tests are added here
