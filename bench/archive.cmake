# archive benchmark is added here
