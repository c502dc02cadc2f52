# window tests are added here
