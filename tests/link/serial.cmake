# serial driver and exchange tests are added here
