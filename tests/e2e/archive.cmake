# archive end-to-end tests are added here
